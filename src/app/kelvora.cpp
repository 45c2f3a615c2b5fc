// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's program entry.
#include <QApplication>
#include <QMessageBox>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Kelvora"_s);
    QMessageBox::information(nullptr, u"Kelvora"_s,
                             u"The viewer's main window is not built yet; use kvtool to reach the database."_s);
    return 0;
}
