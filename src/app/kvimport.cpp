// SPDX-License-Identifier: GPL-3.0-or-later
// The importer's program entry.
#include <QApplication>
#include <QMessageBox>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"KVImport"_s);
    QMessageBox::information(nullptr, u"KVImport"_s, u"The importer's main window is not built yet."_s);
    return 0;
}
