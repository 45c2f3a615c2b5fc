// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a spreadsheet: the dialog adds the chosen entry's suffix before it asks about replacing a file,
// and the name's extension, not the entry, decides the format written.
#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "main/ui/widget_interaction.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace kv;

class TestSaveDialog : public QObject
{
    Q_OBJECT

private slots:
    void formatOfTheName_data();
    void formatOfTheName();
    void defaultSuffix_data();
    void defaultSuffix();
    void replacingAsksForTheRealName();
};

void TestSaveDialog::formatOfTheName_data()
{
    // Entries count from 1: Excel 97, Excel 5, Excel 2007-365, CSV.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("fileType");
    QTest::newRow("bare name, Excel 97") << u"curves"_s << 1 << u"curves.XLS"_s << int(FileTypeExcel97);
    QTest::newRow("bare name, Excel 5") << u"curves"_s << 2 << u"curves.XLS"_s << int(FileTypeExcel5);
    QTest::newRow("bare name, xlsx") << u"curves"_s << 3 << u"curves.xlsx"_s << int(FileTypeXlsx);
    QTest::newRow("bare name, csv") << u"curves"_s << 4 << u"curves.csv"_s << int(FileTypeCsv);
    QTest::newRow(".xls under the xlsx entry")
        << u"curves.xls"_s << 3 << u"curves.xls"_s << int(FileTypeExcel97);
    QTest::newRow(".xls under the Excel 5 entry") << u"old.XLS"_s << 2 << u"old.XLS"_s << int(FileTypeExcel5);
    QTest::newRow(".xlsx under the Excel 97 entry")
        << u"new.xlsx"_s << 1 << u"new.xlsx"_s << int(FileTypeXlsx);
    QTest::newRow(".csv under the xlsx entry") << u"rows.CSV"_s << 3 << u"rows.CSV"_s << int(FileTypeCsv);
}

void TestSaveDialog::formatOfTheName()
{
    QFETCH(QString, typed);
    QFETCH(int, entry);
    QFETCH(QString, written);
    QFETCH(int, fileType);
    const QString path = workbookSavePath(typed, entry);
    QCOMPARE(path, written);
    QCOMPARE(workbookFileTypeForSave(path, entry), fileType);
}

void TestSaveDialog::defaultSuffix_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("suffix");
    const QStringList filters = workbookDialogFilters();
    QTest::newRow("Excel 97") << filters.value(0) << u"XLS"_s;
    QTest::newRow("xlsx") << filters.value(2) << u"xlsx"_s;
    QTest::newRow("csv") << filters.value(3) << u"csv"_s;
    QTest::newRow("every file") << u"All files (*)"_s << QString();
}

void TestSaveDialog::defaultSuffix()
{
    QFETCH(QString, filter);
    QFETCH(QString, suffix);
    QCOMPARE(WidgetInteraction::defaultSuffixOf(filter), suffix);
}

void TestSaveDialog::replacingAsksForTheRealName()
{
    // "curves" typed where curves.XLS exists: the dialog asks before it would replace curves.XLS.
    QTemporaryDir dir;
    QFile existing(dir.filePath(u"curves.XLS"_s));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();
    WidgetInteraction ui(nullptr);
    QString question;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->selectFile(u"curves"_s);
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box) {
                question = box->text();
                box->button(QMessageBox::No)->click();
            }
        });
        static_cast<QDialog *>(dialog)->accept(); // asks, and stays open after No
        QTimer::singleShot(0, dialog, &QDialog::reject);
    });
    const auto choice = ui.saveFile(u"Save"_s, workbookDialogFilters(), dir.path(), QString());
    QVERIFY(!choice);
    QVERIFY2(question.contains(u"curves.XLS"_s), qPrintable(question));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("kept"));
}

QTEST_MAIN(TestSaveDialog)
#include "tst_save_dialog.moc"
