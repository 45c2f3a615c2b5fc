// SPDX-License-Identifier: GPL-3.0-or-later
// The report launcher and the preview: the list, Preview by button and by double click (and nothing
// without a selection), "Save as PDF" in the preview, Close and Cancel, and File > "&Print" of the main
// window with the report's datasets open only while the launcher is shown.
#include "../report_fixture.h"
#include "../report_text.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/connections.h"
#include "main/ui/KV_main.h"
#include "reports/KV_rp_Summary.h"
#include "reports/ui/KV_rbPreview.h"
#include "test_support.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

struct Fixture
{
    Fixture() : database(u"sqlite"_s), dm(ui)
    {
        auto filler = test::createDatabase(database, DatabaseKind::Results);
        test::fillReportFixture(*filler);
        filler->close();
        dm.KVResults.bind(database.location());
        dm.KVResults.open();
        dm.Query1->setSql({u"select * from IsoRgr30"_s, u"where RecordID < 71003"_s, u"order by RecordID"_s});
    }
    test::TempFolders folders;
    test::TestDatabase database;
    ScriptedInteraction ui;
    TdmKVResults dm;
};

// Runs `act` on the first modal window of type T once it is shown (the caller then blocks in its exec);
// `seen` tells whether one came within the time.
template<typename T> void whenModal(bool &seen, const std::function<void(T *)> &act, int timeoutMs = 20000)
{
    seen = false;
    auto *timer = new QTimer;
    auto *elapsed = new int(0);
    QObject::connect(timer, &QTimer::timeout, [=, &seen] {
        *elapsed += 20;
        if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            seen = true;
            act(window);
        } else if (*elapsed < timeoutMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete elapsed;
    });
    timer->start(20);
}

} // namespace

class TestReportLauncher : public QObject
{
    Q_OBJECT

private slots:
    void lists();
    void previewNeedsSelection();
    void previewSavesPdf_data();
    void previewSavesPdf();
    void closeAndCancel_data();
    void closeAndCancel();
    void printMenuOpensLauncher();
};

void TestReportLauncher::lists()
{
    Fixture f;
    TfmPreview launcher(f.dm, f.ui);
    QCOMPARE(launcher.windowTitle(), u"Report Launcher"_s);
    QCOMPARE(launcher.lbxReports->count(), 1);
    QCOMPARE(launcher.lbxReports->item(0)->text(), u"Summary details per record"_s);
    QVERIFY(launcher.lbxReports->selectedItems().isEmpty());
    QCOMPARE(launcher.btnPreview->text(), u"Preview"_s);
    QCOMPARE(launcher.btnClose->text(), u"Close"_s);
    QCOMPARE(launcher.btnCancel->text(), u"Cancel"_s);
}

void TestReportLauncher::previewNeedsSelection()
{
    Fixture f;
    const ReportDatasets datasets(f.dm);
    TfmPreview launcher(f.dm, f.ui);
    launcher.show();
    bool seen = false;
    whenModal<QPrintPreviewDialog>(seen, [](QPrintPreviewDialog *preview) { preview->reject(); }, 500);
    launcher.btnPreview->click();
    QTest::qWait(600);
    QVERIFY(!seen);
    QCOMPARE(f.ui.messages(), QStringList());
}

void TestReportLauncher::previewSavesPdf_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("button") << false;
    QTest::newRow("double click") << true;
}

void TestReportLauncher::previewSavesPdf()
{
    QFETCH(bool, doubleClick);
    Fixture f;
    const ReportDatasets datasets(f.dm);
    TfmPreview launcher(f.dm, f.ui);
    launcher.show();
    QVERIFY(QTest::qWaitForWindowExposed(&launcher));
    const QString path = f.folders.path() + u"/saved.pdf"_s;
    f.ui.queueFiles({{path, 0}});

    bool seen = false;
    QString title;
    int pages = -1;
    bool inToolBar = false;
    whenModal<QPrintPreviewDialog>(seen, [&](QPrintPreviewDialog *preview) {
        title = preview->windowTitle();
        if (auto *widget = preview->findChild<QPrintPreviewWidget *>())
            pages = widget->pageCount();
        auto *save = preview->findChild<QAction *>(u"SaveAsPdf"_s);
        const auto *toolBar = preview->findChild<QToolBar *>();
        inToolBar = save && toolBar && toolBar->actions().contains(save);
        if (save)
            save->trigger();
        preview->reject();
    });
    if (doubleClick) {
        const QRect rect = launcher.lbxReports->visualItemRect(launcher.lbxReports->item(0));
        QTest::mouseClick(launcher.lbxReports->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(launcher.lbxReports->viewport(), Qt::LeftButton, {}, rect.center());
    } else {
        launcher.lbxReports->item(0)->setSelected(true);
        launcher.btnPreview->click();
    }
    QVERIFY(seen);
    QCOMPARE(title, u"Summary"_s);
    QCOMPARE(pages, 1);
    QVERIFY(inToolBar);
    QCOMPARE(f.ui.messages(), QStringList{u"save: Save as PDF"_s});
    QString error;
    const QString text = test::pdfText(path, &error);
    QVERIFY2(!text.isEmpty(), qPrintable(error));
    QVERIFY2(test::inOrder(text, {u"Bushveld Complex"_s, u"71001"_s, u"Kaap Valley Tonalite"_s, u"71002"_s}),
             qPrintable(text));
    QVERIFY(!text.contains(u"Gaborone"_s));
    // The launcher stays open for another report.
    QVERIFY(launcher.isVisible());
}

void TestReportLauncher::closeAndCancel_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Close") << u"btnClose"_s;
    QTest::newRow("Cancel") << u"btnCancel"_s;
}

void TestReportLauncher::closeAndCancel()
{
    QFETCH(QString, button);
    Fixture f;
    TfmPreview launcher(f.dm, f.ui);
    launcher.show();
    launcher.findChild<QPushButton *>(button)->click();
    QVERIFY(!launcher.isVisible());
    QCOMPARE(launcher.result(), int(QDialog::Rejected));
}

void TestReportLauncher::printMenuOpensLauncher()
{
    test::TempFolders folders;
    createDatabases(defaultLocations(), false);
    ScriptedInteraction ui;
    TfmRes fmRes;
    fmRes.setInteraction(&ui);
    TdmKVResults dm(fmRes.interaction());
    ViewerConnections connections(dm, fmRes.interaction());
    connections.bindInitial();
    fmRes.attach(dm, connections);
    fmRes.show();
    QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty());
    QVERIFY(fmRes.FilePrint->isEnabled());

    bool seen = false;
    bool open = false;
    QStringList sql;
    whenModal<TfmPreview>(seen, [&](TfmPreview *launcher) {
        open = dm.Querydm->isOpen() && dm.QdmSource->isOpen() && dm.QdmSmp->isOpen();
        sql = dm.Querydm->sql();
        launcher->btnCancel->click();
    });
    fmRes.FilePrint->trigger();
    QVERIFY(seen);
    QVERIFY(open);
    QCOMPARE(sql, dm.Query1->sql());
    QVERIFY(!dm.Querydm->isOpen() && !dm.QdmSource->isOpen() && !dm.QdmSmp->isOpen());
    QCOMPARE(ui.messages(), QStringList());
    fmRes.close();
}

QTEST_MAIN(TestReportLauncher)
#include "tst_report_launcher.moc"
