// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's program entry: the windows and data modules that live for the whole run, in the
// order they depend on each other; the main window's show handler does the start-up proper.
#include "app/program_options.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "graphs/ui/KV_Seli.h"
#include "graphs/ui/KV_selpg.h"
#include "main/connections.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_main.h"
#include "main/ui/application.h"

#include <QIcon>
#include <QMessageBox>
#include <optional>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    if (const int rc = kv::answerVersionOrHelp(argc, argv, "kelvora",
                                                "usage: kelvora [--version] [--help]\n"
                                                "The geochronology database viewer. The databases are named in kvaliases.ini\n"
                                                "of the configuration folder ($KELVORA_CONFIG_DIR); `kvtool demo` creates the\n"
                                                "demo databases, `kvtool init` empty ones.\n");
        rc >= 0)
        return rc;
    kv::Application app(argc, argv);
    QApplication::setApplicationName(u"Kelvora"_s);
    QApplication::setApplicationVersion(QStringLiteral(KELVORA_VERSION));
    // The installed menu entry and icon; the window system matches the window to them by this name.
    QGuiApplication::setDesktopFileName(u"kelvora"_s);
    QApplication::setWindowIcon(QIcon::fromTheme(u"kelvora"_s));

    kv::TfmRes fmRes;
    kv::TdmKVResults dmKVResults(fmRes.interaction());
    std::optional<kv::ViewerConnections> connections;
    try {
        connections.emplace(dmKVResults, fmRes.interaction());
        connections->bindInitial();
    } catch (const kv::Error &e) {
        // Without the alias file there is nothing to bind to.
        QMessageBox::critical(nullptr, u"Kelvora"_s, e.message());
        return 1;
    }
    kv::TfmSelDI2 fmSelDI2(fmRes.plotState(), fmRes.interaction(), &dmKVResults, &fmRes);
    kv::TfmSelPG fmSelPG(fmRes.plotState(), fmRes.interaction(), &dmKVResults, &fmRes);
    fmRes.setPlotWindows(&fmSelPG, &fmSelDI2);
    kv::TdmSmp dmSmp(dmKVResults);
    connections->setSampleModule(&dmSmp);
    kv::TfmProcessing fmProcessing(&fmRes);
    fmRes.setBusyWindow(&fmProcessing);
    fmRes.attach(dmKVResults, *connections);

    fmRes.show();
    return app.exec();
}
