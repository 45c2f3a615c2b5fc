// SPDX-License-Identifier: GPL-3.0-or-later
// The "Create spreadsheet" window: its controls through Open Table, Export and Save as, the folders it
// offers, and a table that cannot be read.
#include "controls/workbook.h"
#include "core/scripted_interaction.h"
#include "exchange/ui/Gen_sht.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

QString customerTable()
{
    for (const QString &dir : {QStringLiteral(KV_SOURCE_DIR "/../shared/data/paradox"), u"/work/shared/data/paradox"_s})
        if (QFileInfo::exists(dir + u"/CUSTOMER.DB"_s))
            return QFileInfo(dir + u"/CUSTOMER.DB"_s).absoluteFilePath();
    return {};
}

// Which of the window's controls are enabled, by name.
QStringList enabled(TfmGenSheet &w)
{
    QStringList names;
    for (QWidget *c : std::initializer_list<QWidget *>{w.bbOpen, w.bbFillSheet, w.bbSaveSheet, w.gb2, w.gb3, w.eFileName, w.DBGrid1})
        if (c->isEnabled())
            names << c->objectName();
    return names;
}

} // namespace

class TestGenSheet : public QObject
{
    Q_OBJECT

private slots:
    void openExportSave();
    void unreadableTable();
};

void TestGenSheet::openExportSave()
{
    const QString customer = customerTable();
    if (customer.isEmpty())
        QSKIP("the shared Paradox tables are not beside the checkout");
    QTemporaryDir dir;
    ScriptedInteraction ui;
    TfmGenSheet w(ui, nullptr);
    w.generator().flags = NumericColumnFlags::all();
    w.show();
    QCOMPARE(w.windowTitle(), u"Create spreadsheet"_s);
    QCOMPARE(enabled(w), QStringList{u"bbOpen"_s});
    QCOMPARE(w.eFileName->text(), u"*.db"_s);

    ui.queueFiles({{customer, 0}});
    w.bbOpen->click();
    QVERIFY2(ui.texts(u"error"_s).isEmpty(), qPrintable(ui.texts(u"error"_s).join(u'\n')));
    QCOMPARE(enabled(w), (QStringList{u"bbOpen"_s, u"bbFillSheet"_s, u"gb2"_s, u"eFileName"_s, u"DBGrid1"_s}));
    QCOMPARE(w.eFileName->text(), customer);
    QCOMPARE(w.DBGrid1->model()->rowCount(), 20);
    QCOMPARE(w.DBGrid1->model()->headerData(1, Qt::Horizontal).toString(), u"FirstName"_s);
    const QString tableFolder = QFileInfo(customer).absolutePath();
    QCOMPARE(w.generator().saveFolder, tableFolder);
    QCOMPARE(w.generator().saveFileName, u"CUSTOMER"_s);

    w.bbFillSheet->click();
    QCOMPARE(enabled(w), (QStringList{u"bbOpen"_s, u"bbSaveSheet"_s, u"gb3"_s}));
    QCOMPARE(w.DBGrid1->model()->rowCount(), 0); // the table is closed once the sheet is filled
    QCOMPARE(w.generator().workbook().sheetAt(1).lastRow(), 21);

    // The Excel 2007 entry, a bare name: .xlsx is added; the save folder follows the save.
    ui.queueFiles({{dir.filePath(u"customers"_s), 2}});
    w.bbSaveSheet->click();
    QVERIFY2(ui.texts(u"error"_s).isEmpty(), qPrintable(ui.texts(u"error"_s).join(u'\n')));
    QVERIFY(QFileInfo::exists(dir.filePath(u"customers.xlsx"_s)));
    QCOMPARE(w.generator().saveFolder, QFileInfo(dir.path()).absoluteFilePath());
    QCOMPARE(w.generator().tableFolder, tableFolder);
}

void TestGenSheet::unreadableTable()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"broken.DB"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a Paradox table at all, only text");
    file.close();
    ScriptedInteraction ui;
    TfmGenSheet w(ui, nullptr);
    w.show();
    ui.queueFiles({{path, 0}});
    w.bbOpen->click();
    QCOMPARE(ui.texts(u"error"_s).size(), 1);
    QVERIFY2(ui.texts(u"error"_s).first().contains(u"broken.DB is not a readable Paradox table"_s),
             qPrintable(ui.texts(u"error"_s).first()));
    QCOMPARE(enabled(w), QStringList{u"bbOpen"_s});
    QVERIFY(w.generator().saveFolder.isEmpty());
}

QTEST_MAIN(TestGenSheet)
#include "tst_gen_sht.moc"
