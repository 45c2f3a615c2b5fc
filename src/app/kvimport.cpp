// SPDX-License-Identifier: GPL-3.0-or-later
// The importer's program entry: the window, or `kvimport --read ...` for batch use without one.
#include "app/program_options.h"
#include "importer/batch_read.h"
#include "importer/import_settings.h"
#include "importer/ui/KVI_main.h"

#include <QApplication>
#include <QIcon>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    if (const int rc = kv::answerVersionOrHelp(
            argc, argv, "kvimport",
            "usage: kvimport [--version] [--help]\n"
            "       kvimport --read localities|raw|records|units FILE [--sheet N] [--results LOCATION]\n"
            "Without --read the importer's window opens; with it one reader runs without a window.\n");
        rc >= 0)
        return rc;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (kv::isBatchRead(arguments)) {
        // No display needed: the batch mode shows no window.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(u"KVImport"_s);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return kv::runBatchRead(arguments, out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"KVImport"_s);
    QApplication::setApplicationDisplayName(u"Kelvora Importer"_s);
    QGuiApplication::setDesktopFileName(u"kvimport"_s);
    QApplication::setWindowIcon(QIcon::fromTheme(u"kvimport"_s));
    kv::TForm1 form(kv::importerSettingsFilePath());
    QObject::connect(&form, &kv::TForm1::startFailed, &app, [] { QCoreApplication::exit(1); },
                     Qt::QueuedConnection);
    form.show();
    return QApplication::exec();
}
