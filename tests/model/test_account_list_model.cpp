#include "model/account_list_model.h"
#include "model/list_rows.h"
#include "support/model_text.h"

#include <QSignalSpy>
#include <QTest>

namespace {

AccountRow row(const QString& key, const QString& user, bool checked = false)
{
    return {keyFromText(key),
            QStringLiteral("Name ") + user,
            user,
            QStringLiteral("pop.example.org"),
            QStringLiteral("110"),
            checked};
}

QStringList keys(const AccountListModel& list)
{
    QStringList all;
    for (const AccountRow& r : list.rows())
        all.append(keyText(r.key));
    return all;
}

} // namespace

class TestAccountListModel : public QObject
{
    Q_OBJECT

private slots:
    void columnsRolesAndFlags();
    void keysAreUnique();
    void rowHelpers();
    void movesKeepKeyAndCheck();
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

    QVERIFY(list.appendAccountRow(row(QStringLiteral("K1Psecret"), QStringLiteral("ann"), true)));
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
    QVERIFY(list.appendAccountRow(row(QStringLiteral("K1Pa"), QStringLiteral("ann"))));
    QVERIFY(!list.appendAccountRow(row(QStringLiteral("K1Pa"), QStringLiteral("bob"))));
    QVERIFY(list.appendAccountRow(row(QStringLiteral("K2Pa"), QStringLiteral("bob"))));
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(list.findKey(AccountKey{2, QStringLiteral("a")}), 1);
    QCOMPARE(list.findKey(AccountKey{2, QStringLiteral("b")}), -1);
    QCOMPARE(list.rowAt(1).key.password, QStringLiteral("a"));
}

void TestAccountListModel::rowHelpers()
{
    AccountListModel list;
    list.appendAccountRow(row(QStringLiteral("K1Pa"), QStringLiteral("ann")));
    list.appendAccountRow(row(QStringLiteral("K2Pb"), QStringLiteral("bob")));
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
    QVERIFY(list.insertAccountRow(0, row(QStringLiteral("K3Pc"), QStringLiteral("cy"))));
    QVERIFY(!list.insertAccountRow(5, row(QStringLiteral("K4Pd"), QStringLiteral("dee"))));
    QVERIFY(list.removeAccountRow(1));
    QVERIFY(!list.removeAccountRow(2));
    QCOMPARE(keys(list), (QStringList{"K3Pc", "K2Pb"}));
}

void TestAccountListModel::movesKeepKeyAndCheck()
{
    AccountListModel list;
    for (int i = 1; i <= 4; ++i)
        list.appendAccountRow(row(QStringLiteral("K%1Pp").arg(i), QStringLiteral("u%1").arg(i)));
    checkRow(list, 2);

    QVERIFY(list.moveToBottom(1));
    QCOMPARE(keys(list), (QStringList{"K1Pp", "K3Pp", "K4Pp", "K2Pp"}));
    QCOMPARE(isRowChecked(list, 4), std::optional<bool>(true));
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(false));
    QVERIFY(list.moveUp(3));
    QCOMPARE(keys(list), (QStringList{"K1Pp", "K3Pp", "K2Pp", "K4Pp"}));
    QVERIFY(list.moveToTop(2));
    QVERIFY(list.moveDown(0));
    QCOMPARE(keys(list), (QStringList{"K1Pp", "K2Pp", "K3Pp", "K4Pp"}));
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(true));
    QCOMPARE(list.rowAt(1).userName, QStringLiteral("u2"));
    // Nothing moves past the ends.
    QVERIFY(!list.moveUp(0));
    QVERIFY(!list.moveDown(3));
    QVERIFY(!list.moveToTop(0));
    QCOMPARE(keys(list), (QStringList{"K1Pp", "K2Pp", "K3Pp", "K4Pp"}));
}

void TestAccountListModel::renameInPlaceSignals()
{
    AccountListModel list;
    list.appendAccountRow(row(QStringLiteral("K1Pa"), QStringLiteral("ann")));
    list.appendAccountRow(row(QStringLiteral("K2Pb"), QStringLiteral("bob")));
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
        QVERIFY(list.appendAccountRow(row(key, key)));
    QCOMPARE(list.nextFreeKeyNumber(), expected);
}

QTEST_GUILESS_MAIN(TestAccountListModel)
#include "test_account_list_model.moc"
