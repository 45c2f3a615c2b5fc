// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that turns what a handler's work throws into a box: which box, with which text, and
// that nothing leaves it, not even when the box itself fails.
#include "core/guard.h"
#include "core/scripted_interaction.h"

#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// A window system that cannot show its boxes.
struct FailingInteraction : ScriptedInteraction
{
    void warning(const QString &) override { throw std::runtime_error("no box"); }
    void error(const QString &) override { throw std::runtime_error("no box"); }
};

} // namespace

Q_DECLARE_METATYPE(std::function<void()>)

class TestGuard : public QObject
{
    Q_OBJECT

private slots:
    void chosenBox_data();
    void chosenBox();
    void failingBoxIsNotThrown();
};

void TestGuard::chosenBox_data()
{
    QTest::addColumn<std::function<void()>>("work");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<QStringList>("messages");
    using Work = std::function<void()>;
    QTest::newRow("nothing thrown") << Work([] {}) << true << QStringList{};
    QTest::newRow("input") << Work([] { throw InputError(u"'x' is not a number."_s); }) << false
                           << QStringList{u"error: 'x' is not a number."_s};
    QTest::newRow("database") << Work([] { throw DatabaseError(u"no such table: KVTemp2"_s, KeyViolation); })
                              << false << QStringList{u"error: no such table: KVTemp2"_s};
    QTest::newRow("file") << Work([] { throw FileError(u"Cannot write c.png."_s); }) << false
                          << QStringList{u"error: Cannot write c.png."_s};
    QTest::newRow("base error") << Work([] { throw Error(u"Stopped."_s); }) << false
                                << QStringList{u"error: Stopped."_s};
    QTest::newRow("standard exception")
        << Work([] { throw std::length_error("too long"); }) << false << QStringList{u"error: too long"_s};
    QTest::newRow("anything else") << Work([] { throw 42; }) << false
                                   << QStringList{u"error: An unexpected error stopped the command."_s};
}

void TestGuard::chosenBox()
{
    QFETCH(std::function<void()>, work);
    QFETCH(bool, succeeded);
    QFETCH(QStringList, messages);
    ScriptedInteraction ui;
    QCOMPARE(guarded(ui, work), succeeded);
    QCOMPARE(ui.messages(), messages);
}

void TestGuard::failingBoxIsNotThrown()
{
    FailingInteraction ui;
    QVERIFY(!guarded(ui, [] { throw InputError(u"x"_s); }));
    QVERIFY(!guarded(ui, [] { throw DatabaseError(u"x"_s); }));
}

QTEST_GUILESS_MAIN(TestGuard)
#include "tst_guard.moc"
