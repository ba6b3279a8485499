#include "model/account_list_model.h"
#include "model/list_rows.h"
#include "support/model_accounts.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace {

// The rows as a view knows them: built from the model's signals alone
// (inserts, removals, moves, edits, resets). After every change it must
// equal what the model holds.
class RowMirror : public QObject
{
public:
    explicit RowMirror(const AccountListModel& list) : m_list(list)
    {
        m_rows = snapshot(list);
        connect(&list, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) {
                    for (int r = first; r <= last; ++r)
                        m_rows.insert(r, shown(m_list, r));
                });
        connect(&list, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) {
                    m_rows.remove(first, last - first + 1);
                });
        connect(&list, &QAbstractItemModel::rowsMoved, this,
                [this](const QModelIndex&, int first, int last, const QModelIndex&, int before) {
                    const int count = last - first + 1;
                    const QStringList moved = m_rows.mid(first, count);
                    m_rows.remove(first, count);
                    const int at = before > first ? before - count : before;
                    for (int i = 0; i < count; ++i)
                        m_rows.insert(at + i, moved[i]);
                });
        connect(&list, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    for (int r = from.row(); r <= to.row(); ++r)
                        m_rows[r] = shown(m_list, r);
                });
        connect(&list, &QAbstractItemModel::modelReset, this,
                [this] { m_rows = snapshot(m_list); });
    }

    const QStringList& rows() const { return m_rows; }

    static QString shown(const AccountListModel& list, int row)
    {
        const QModelIndex name = list.index(row, AccountListModel::DisplayNameColumn);
        return keyText(name.data(AccountListModel::KeyRole).value<AccountKey>()) + '|' +
               name.data().toString() + '|' +
               QString::number(name.data(Qt::CheckStateRole).toInt());
    }
    static QStringList snapshot(const AccountListModel& list)
    {
        QStringList rows;
        for (int r = 0; r < list.rowCount(); ++r)
            rows.append(shown(list, r));
        return rows;
    }

private:
    const AccountListModel& m_list;
    QStringList m_rows;
};

} // namespace

class TestAccountListModel : public QObject
{
    Q_OBJECT

private slots:
    void columnsRolesAndFlags();
    void keysAreUnique();
    void rowHelpers();
    void movesKeepKeyAndCheck();
    void changesUnderTheModelTester();
    void renameInPlaceSignals();
    void nextFreeKeyNumber_data();
    void nextFreeKeyNumber();
};

void TestAccountListModel::columnsRolesAndFlags()
{
    AccountListModel list;
    QCOMPARE(list.columnCount(), 5);
    const QStringList headers{" Display Name", "Username", "Server Name", "Port No.", ""};
    for (int c = 0; c < 5; ++c)
        QCOMPARE(list.headerData(c, Qt::Horizontal).toString(), headers[c]);

    QVERIFY(list.appendAccountRow(
        accountRow(QStringLiteral("K1Psecret"), QStringLiteral("ann"), true)));
    const QModelIndex first = list.index(0, 0);
    QCOMPARE(list.data(first).toString(), QStringLiteral("Name ann"));
    QCOMPARE(list.data(list.index(0, 3)).toString(), QStringLiteral("110"));
    QCOMPARE(list.data(list.index(0, 4)).toString(), QString());
    QCOMPARE(list.data(first, AccountListModel::KeyRole).value<AccountKey>(),
             (AccountKey{1, QStringLiteral("secret")}));
    QCOMPARE(list.data(first, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!list.data(list.index(0, 1), Qt::CheckStateRole).isValid());
    QVERIFY(list.flags(first) & Qt::ItemIsUserCheckable);
    QVERIFY(list.flags(first) & Qt::ItemIsEditable);
    QVERIFY(!(list.flags(list.index(0, 2)) & Qt::ItemIsEditable));
    // No column shows the password.
    for (int c = 0; c < 5; ++c)
        QVERIFY(!list.data(list.index(0, c)).toString().contains(QStringLiteral("secret")));
}

void TestAccountListModel::keysAreUnique()
{
    AccountListModel list;
    QVERIFY(list.appendAccountRow(accountRow(QStringLiteral("K1Pa"), QStringLiteral("ann"))));
    QVERIFY(!list.appendAccountRow(accountRow(QStringLiteral("K1Pa"), QStringLiteral("bob"))));
    QVERIFY(list.appendAccountRow(accountRow(QStringLiteral("K2Pa"), QStringLiteral("bob"))));
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(list.findKey(AccountKey{2, QStringLiteral("a")}), 1);
    QCOMPARE(list.findKey(AccountKey{2, QStringLiteral("b")}), -1);
    QCOMPARE(list.rowAt(1).key.password, QStringLiteral("a"));
}

void TestAccountListModel::rowHelpers()
{
    AccountListModel list;
    list.appendAccountRow(accountRow(QStringLiteral("K1Pa"), QStringLiteral("ann")));
    list.appendAccountRow(accountRow(QStringLiteral("K2Pb"), QStringLiteral("bob")));
    QCOMPARE(isRowChecked(list, 1), std::optional<bool>(false));
    QCOMPARE(checkRow(list, 2), true);
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(true));
    QCOMPARE(uncheckRow(list, 2), true);
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(false));
    for (int n : {0, 3, -1}) {
        QCOMPARE(isRowChecked(list, n), std::optional<bool>());
        QCOMPARE(checkRow(list, n), false);
        QCOMPARE(uncheckRow(list, n), false);
    }
    QVERIFY(list.insertAccountRow(0, accountRow(QStringLiteral("K3Pc"), QStringLiteral("cy"))));
    QVERIFY(!list.insertAccountRow(5, accountRow(QStringLiteral("K4Pd"), QStringLiteral("dee"))));
    QVERIFY(list.removeAccountRow(1));
    QVERIFY(!list.removeAccountRow(2));
    QCOMPARE(accountKeys(list), (QStringList{"K3Pc", "K2Pb"}));
}

void TestAccountListModel::movesKeepKeyAndCheck()
{
    AccountListModel list;
    for (int i = 1; i <= 4; ++i)
        list.appendAccountRow(
            accountRow(QStringLiteral("K%1Pp").arg(i), QStringLiteral("u%1").arg(i)));
    checkRow(list, 2);

    QVERIFY(list.moveToBottom(1));
    QCOMPARE(accountKeys(list), (QStringList{"K1Pp", "K3Pp", "K4Pp", "K2Pp"}));
    QCOMPARE(isRowChecked(list, 4), std::optional<bool>(true));
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(false));
    QVERIFY(list.moveUp(3));
    QCOMPARE(accountKeys(list), (QStringList{"K1Pp", "K3Pp", "K2Pp", "K4Pp"}));
    QVERIFY(list.moveToTop(2));
    QVERIFY(list.moveDown(0));
    QCOMPARE(accountKeys(list), (QStringList{"K1Pp", "K2Pp", "K3Pp", "K4Pp"}));
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(true));
    QCOMPARE(list.rowAt(1).userName, QStringLiteral("u2"));
    // Nothing moves past the ends.
    QVERIFY(!list.moveUp(0));
    QVERIFY(!list.moveDown(3));
    QVERIFY(!list.moveToTop(0));
    QCOMPARE(accountKeys(list), (QStringList{"K1Pp", "K2Pp", "K3Pp", "K4Pp"}));
}

void TestAccountListModel::changesUnderTheModelTester()
{
    AccountListModel list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    RowMirror mirror(list);
    const auto account = [](int n) {
        return accountRow(QStringLiteral("K%1Pp").arg(n), QStringLiteral("u%1").arg(n));
    };
    struct Step
    {
        const char* what;
        std::function<bool(AccountListModel&)> change;
        bool accepted;
        QStringList keysAfter;
    };
    const QList<Step> steps = {
        {"append", [&](auto& l) { return l.appendAccountRow(account(1)); }, true, {"K1Pp"}},
        {"append", [&](auto& l) { return l.appendAccountRow(account(2)); }, true, {"K1Pp", "K2Pp"}},
        {"insert at the top",
         [&](auto& l) { return l.insertAccountRow(0, account(3)); },
         true,
         {"K3Pp", "K1Pp", "K2Pp"}},
        {"insert in the middle",
         [&](auto& l) { return l.insertAccountRow(2, account(4)); },
         true,
         {"K3Pp", "K1Pp", "K4Pp", "K2Pp"}},
        {"insert a taken key",
         [&](auto& l) { return l.insertAccountRow(1, account(1)); },
         false,
         {"K3Pp", "K1Pp", "K4Pp", "K2Pp"}},
        {"insert past the end",
         [&](auto& l) { return l.insertAccountRow(9, account(5)); },
         false,
         {"K3Pp", "K1Pp", "K4Pp", "K2Pp"}},
        {"move down one",
         [](auto& l) { return l.moveDown(0); },
         true,
         {"K1Pp", "K3Pp", "K4Pp", "K2Pp"}},
        {"move to the bottom",
         [](auto& l) { return l.moveToBottom(1); },
         true,
         {"K1Pp", "K4Pp", "K2Pp", "K3Pp"}},
        {"move up one",
         [](auto& l) { return l.moveUp(2); },
         true,
         {"K1Pp", "K2Pp", "K4Pp", "K3Pp"}},
        {"move to the top",
         [](auto& l) { return l.moveToTop(3); },
         true,
         {"K3Pp", "K1Pp", "K2Pp", "K4Pp"}},
        {"move past the top",
         [](auto& l) { return l.moveUp(0); },
         false,
         {"K3Pp", "K1Pp", "K2Pp", "K4Pp"}},
        {"rename in place",
         [](auto& l) { return l.setData(l.index(1, 0), QStringLiteral("Renamed")); },
         true,
         {"K3Pp", "K1Pp", "K2Pp", "K4Pp"}},
        {"check a row",
         [](auto& l) { return l.setData(l.index(2, 0), Qt::Checked, Qt::CheckStateRole); },
         true,
         {"K3Pp", "K1Pp", "K2Pp", "K4Pp"}},
        {"edit a read-only column",
         [](auto& l) { return l.setData(l.index(2, 1), "x"); },
         false,
         {"K3Pp", "K1Pp", "K2Pp", "K4Pp"}},
        {"remove two rows", [](auto& l) { return l.removeRows(1, 2); }, true, {"K3Pp", "K4Pp"}},
        {"remove past the end",
         [](auto& l) { return l.removeRows(1, 2); },
         false,
         {"K3Pp", "K4Pp"}},
        {"remove the last row", [](auto& l) { return l.removeAccountRow(1); }, true, {"K3Pp"}},
        {"clear",
         [](auto& l) {
             l.clearRows();
             return true;
         },
         true,
         {}},
        {"append after clearing",
         [&](auto& l) { return l.appendAccountRow(account(6)); },
         true,
         {"K6Pp"}},
    };
    for (const Step& step : steps) {
        QVERIFY2(step.change(list) == step.accepted, step.what);
        QVERIFY2(accountKeys(list) == step.keysAfter, step.what);
        QVERIFY2(mirror.rows() == RowMirror::snapshot(list), step.what);
    }
}

void TestAccountListModel::renameInPlaceSignals()
{
    AccountListModel list;
    list.appendAccountRow(accountRow(QStringLiteral("K1Pa"), QStringLiteral("ann")));
    list.appendAccountRow(accountRow(QStringLiteral("K2Pb"), QStringLiteral("bob")));
    QSignalSpy spy(&list, &AccountListModel::displayNameEdited);
    QVERIFY(list.setData(list.index(1, 0), QStringLiteral("Renamed")));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].toInt(), 2);
    QCOMPARE(spy[0][1].toString(), QStringLiteral("Renamed"));
    QCOMPARE(list.rowAt(1).displayName, QStringLiteral("Renamed"));
    QVERIFY(!list.setData(list.index(1, 1), QStringLiteral("x")));
}

void TestAccountListModel::nextFreeKeyNumber_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty list") << QStringList{} << 1;
    QTest::newRow("K1 K2 K3") << QStringList{"K1Pa", "K2Pb", "K3Pc"} << 4;
    QTest::newRow("row 2 of K1 K2 K3 deleted") << QStringList{"K1Pa", "K3Pc"} << 2;
    QTest::newRow("out of order") << QStringList{"K3Pa", "K1Pb", "K2Pc"} << 4;
    QTest::newRow("password with P") << QStringList{"K2PPP1P"} << 1;
    QTest::newRow("one number, two passwords") << QStringList{"K1Pa", "K1Pb"} << 2;
}

void TestAccountListModel::nextFreeKeyNumber()
{
    QFETCH(QStringList, keys);
    QFETCH(int, expected);
    AccountListModel list;
    for (const QString& key : keys)
        QVERIFY(list.appendAccountRow(accountRow(key, key)));
    QCOMPARE(list.nextFreeKeyNumber(), expected);
}

QTEST_GUILESS_MAIN(TestAccountListModel)
#include "test_account_list_model.moc"
