#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "pop3/snapshot_matcher.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringListModel>
#include <QtTest>

namespace {

MailItem mailRow(int n, MailImage image = MailImage::New)
{
    MailItem item;
    item.displayName = "Home";
    item.userName = "ann";
    item.from = QString("sender%1@example.org").arg(n);
    item.subject = QString("Subject %1").arg(n);
    item.dateSent = "Jan 4 2003 9:15 AM";
    item.server = "pop.example.org";
    item.port = "110";
    item.key = {n, "secret"};
    item.image = image;
    return item;
}

QStringList rowTexts(const QAbstractItemModel& model, int row)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.index(row, column).data().toString();
    return texts;
}

} // namespace

class TestMailListModel : public QObject
{
    Q_OBJECT

private slots:
    void showsSevenColumns();
    void noMailRow();
    void appendRemoveAndClear();
    void keyAndImageRoles();
    void checkBoxes_data();
    void checkBoxes();
    void switchingCheckBoxesKeepsImagesAndState();
    void snapshotLeavesOutNoMailRows();
    void manyAppendsEachAnnounced();
    void proxyShowsAppendedRowsInBatches();
    void proxyPassesCheckBoxesAndRoles();
    void proxyKeepsViewsInStep();
};

void TestMailListModel::showsSevenColumns()
{
    MailListModel model;
    const QStringList headers{" Display Name", "Username", "From", "Subject",
                              "Date Sent",     "Server",   "Port"};
    QCOMPARE(model.columnCount(), headers.size());
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
    QVERIFY(!model.headerData(7, Qt::Horizontal).isValid());

    model.appendItem(mailRow(1));
    QCOMPARE(rowTexts(model, 0), (QStringList{"Home", "ann", "sender1@example.org", "Subject 1",
                                              "Jan 4 2003 9:15 AM", "pop.example.org", "110"}));
    QVERIFY(!model.index(1, 0).isValid());
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
}

void TestMailListModel::noMailRow()
{
    const MailItem item = MailItem::noMailRow("Work", "bob");
    QVERIFY(item.isNoMailRow());
    QVERIFY(!mailRow(1).isNoMailRow());
    MailListModel model;
    model.appendItem(item);
    QCOMPARE(rowTexts(model, 0), (QStringList{"Work", "bob", "(no mail)", "(no mail)", "(no mail)",
                                              "(no mail)", "(no mail)"}));
    QCOMPARE(model.index(0, 0).data(MailListModel::KeyRole).value<AccountKey>(), AccountKey());
    QCOMPARE(model.index(0, 0).data(MailListModel::MarkRole).value<RowMark>(), RowMark::None);
    QCOMPARE(model.index(0, 0).data(MailListModel::ImageRole).value<MailImage>(), MailImage::Seen);
}

void TestMailListModel::appendRemoveAndClear()
{
    MailListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.appendItem(mailRow(1));
    model.appendItems({mailRow(2), mailRow(3), mailRow(4)});
    model.appendItems({});
    QCOMPARE(model.itemCount(), 4);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(inserted[1][1].toInt(), 1);
    QCOMPARE(inserted[1][2].toInt(), 3);

    model.removeItemAt(1);
    model.removeItemAt(7); // no such row: nothing happens
    model.removeItemAt(-1);
    QCOMPARE(model.itemCount(), 3);
    QCOMPARE(model.item(0).subject, "Subject 1");
    QCOMPARE(model.item(1).subject, "Subject 3");
    QCOMPARE(model.index(2, MailListModel::SubjectColumn).data().toString(), "Subject 4");

    model.clearItems();
    QCOMPARE(model.rowCount(), 0);
    model.appendItem(mailRow(5));
    QCOMPARE(model.item(0).subject, "Subject 5");
}

void TestMailListModel::keyAndImageRoles()
{
    MailListModel model;
    model.appendItems({mailRow(1), mailRow(2, MailImage::Seen)});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex first = model.index(0, 0);
    QCOMPARE(first.data(MailListModel::KeyRole).value<AccountKey>(), (AccountKey{1, "secret"}));
    QCOMPARE(first.data(MailListModel::MarkRole).value<RowMark>(), RowMark::None);
    QCOMPARE(first.data(MailListModel::ImageRole).value<MailImage>(), MailImage::New);
    QCOMPARE(model.index(1, 0).data(MailListModel::ImageRole).value<MailImage>(), MailImage::Seen);

    model.setMark(0, RowMark::Deleted);
    QCOMPARE(model.item(0).mark, RowMark::Deleted);
    QCOMPARE(model.item(0).key, (AccountKey{1, "secret"}));
    QCOMPARE(first.data(MailListModel::MarkRole).value<RowMark>(), RowMark::Deleted);
    QCOMPARE(changed.size(), 1);
    QVERIFY(changed[0][2].value<QList<int>>().contains(MailListModel::MarkRole));
    model.setMark(0, RowMark::Deleted); // no change, no signal
    QCOMPARE(changed.size(), 1);

    model.setImage(0, MailImage::Seen);
    QCOMPARE(first.data(MailListModel::ImageRole).value<MailImage>(), MailImage::Seen);
    QCOMPARE(changed.size(), 2);
    QVERIFY(changed[1][2].value<QList<int>>().contains(MailListModel::ImageRole));

    QVERIFY(model.setData(first, QVariant::fromValue(MailImage::New), MailListModel::ImageRole));
    QCOMPARE(model.item(0).image, MailImage::New);
    QVERIFY(!model.setData(first, QVariant::fromValue(MailImage(3)), MailListModel::ImageRole));
    QVERIFY(!model.setData(first, 1, MailListModel::ImageRole));
    QVERIFY(!model.setData(first, "x", MailListModel::ImageRole));
    QVERIFY(!model.setData(first, "text", Qt::EditRole));
    QCOMPARE(model.item(0).image, MailImage::New);
    QCOMPARE(model.item(0).from, "sender1@example.org");

    // Out-of-range rows are ignored, not a crash.
    model.setMark(5, RowMark::AccountEmptied);
    model.setImage(-1, MailImage::Seen);
    QCOMPARE(model.itemCount(), 2);
}

void TestMailListModel::checkBoxes_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << true;
    QTest::newRow("hidden") << false;
}

void TestMailListModel::checkBoxes()
{
    QFETCH(bool, shown);
    MailListModel model;
    model.setCheckBoxesShown(shown);
    model.appendItems({mailRow(1), mailRow(2), mailRow(3)});

    QCOMPARE(bool(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable), shown);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable));
    QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole).isValid(), shown);
    QVERIFY(!model.index(0, 1).data(Qt::CheckStateRole).isValid());

    QCOMPARE(checkRow(model, 2), true);
    QCOMPARE(checkRow(model, 4), false);
    QCOMPARE(isRowChecked(model, 4), std::optional<bool>());
    QVERIFY(model.item(1).checked);
    QVERIFY(!model.item(0).checked);
    QCOMPARE(isRowChecked(model, 2), std::optional<bool>(shown));
    QCOMPARE(isRowChecked(model, 1), std::optional<bool>(false));
    QCOMPARE(uncheckRow(model, 2), true);
    QVERIFY(!model.item(1).checked);
    QCOMPARE(isRowChecked(model, 2), std::optional<bool>(false));

    // A view ticks with an int, some callers with a bool; column 1 has no box.
    QVERIFY(model.setData(model.index(2, 0), true, Qt::CheckStateRole));
    QVERIFY(model.item(2).checked);
    QVERIFY(model.setData(model.index(2, 0), int(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(!model.item(2).checked);
    QVERIFY(!model.setData(model.index(2, 1), int(Qt::Checked), Qt::CheckStateRole));
    QVERIFY(!model.item(2).checked);
}

void TestMailListModel::switchingCheckBoxesKeepsImagesAndState()
{
    MailListModel model;
    model.appendItems(
        {mailRow(1, MailImage::Seen), mailRow(2, MailImage::New), mailRow(3, MailImage::New)});
    model.setCheckBoxesShown(true);
    checkRow(model, 3);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.setCheckBoxesShown(false);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 0);
    QCOMPARE(changed[0][1].toModelIndex().row(), 2);
    QCOMPARE(isRowChecked(model, 3), std::optional<bool>(false));

    model.setCheckBoxesShown(true);
    QCOMPARE(isRowChecked(model, 3), std::optional<bool>(true));
    QList<MailImage> images;
    for (int row = 0; row < model.rowCount(); ++row)
        images << model.index(row, 0).data(MailListModel::ImageRole).value<MailImage>();
    QCOMPARE(images, (QList<MailImage>{MailImage::Seen, MailImage::New, MailImage::New}));
}

void TestMailListModel::snapshotLeavesOutNoMailRows()
{
    MailListModel model;
    model.appendItem(MailItem::noMailRow("Empty", "zed"));
    model.appendItem(mailRow(1, MailImage::New));
    MailItem lookalike = MailItem::noMailRow("Odd", "amy");
    lookalike.from = "(no mail) ";
    model.appendItem(lookalike);
    model.appendItem(MailItem::noMailRow("Empty", "zed"));
    model.appendItem(mailRow(2, MailImage::Seen));

    const QVector<PreviousItem> snapshot = SnapshotMatcher::snapshotOf(model);
    QCOMPARE(snapshot.size(), 3);
    QCOMPARE(snapshot[0].image, MailImage::New);
    QCOMPARE(snapshot[0].subject, "Subject 1");
    QCOMPARE(snapshot[0].userName, "ann");
    QCOMPARE(snapshot[0].server, "pop.example.org");
    QCOMPARE(snapshot[0].port, "110");
    QCOMPARE(snapshot[0].from, "sender1@example.org");
    QCOMPARE(snapshot[0].dateSent, "Jan 4 2003 9:15 AM");
    QCOMPARE(snapshot[1].userName, "amy");
    QCOMPARE(snapshot[2].image, MailImage::Seen);
    QCOMPARE(snapshot[2].subject, "Subject 2");

    model.clearItems();
    model.appendItem(MailItem::noMailRow("Empty", "zed"));
    QVERIFY(SnapshotMatcher::snapshotOf(model).isEmpty());
}

void TestMailListModel::manyAppendsEachAnnounced()
{
    MailListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const MailItem item = mailRow(1);
    // Their cost is timed by the mail list benchmark; here every one must
    // be announced on its own.
    for (int i = 0; i < 100000; ++i)
        model.appendItem(item);
    QCOMPARE(model.rowCount(), 100000);
    QCOMPARE(inserted.size(), 100000);
}

namespace {

// What a view knows: rebuilt only from the signals it receives.
class ViewMirror
{
public:
    explicit ViewMirror(QAbstractItemModel& model) : m_model(model)
    {
        reset();
        QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                         [this](const QModelIndex&, int first, int last) {
                             for (int row = first; row <= last; ++row)
                                 rows.insert(row, text(row));
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                         [this](const QModelIndex&, int first, int last) {
                             rows.remove(first, last - first + 1);
                         });
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             for (int row = from.row(); row <= to.row(); ++row)
                                 rows[row] = text(row);
                         });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { reset(); });
    }

    QStringList rows;

private:
    QString text(int row) const { return m_model.index(row, 0).data().toString(); }
    void reset()
    {
        rows.clear();
        for (int row = 0; row < m_model.rowCount(); ++row)
            rows << text(row);
    }
    QAbstractItemModel& m_model;
};

QStringList proxyTexts(const QAbstractItemModel& model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString();
    return texts;
}

} // namespace

void TestMailListModel::proxyShowsAppendedRowsInBatches()
{
    MailListModel model;
    BatchedRowsProxy proxy;
    proxy.setBatchInterval(100);
    proxy.setSourceModel(&model);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(proxy.headerData(0, Qt::Horizontal).toString(), " Display Name");
    QCOMPARE(proxy.columnCount(), 7);

    model.appendItem(mailRow(1)); // the first row shows at once
    QCOMPARE(proxy.rowCount(), 1);
    model.appendItems({mailRow(2), mailRow(3)});
    model.appendItem(mailRow(4));
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(proxy.rowCount(), 1);
    QCOMPARE(proxy.pendingRows(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(proxy.rowCount(), 4, 2000);
    QCOMPARE(proxy.index(3, MailListModel::SubjectColumn).data().toString(), "Subject 4");

    model.appendItem(mailRow(5));
    model.removeItemAt(0); // a shown row leaves the view at once
    QCOMPARE(proxy.rowCount(), 3);
    QCOMPARE(proxy.pendingRows(), 1);
    proxy.flush();
    QCOMPARE(proxy.rowCount(), 4);
    QCOMPARE(proxy.index(0, MailListModel::SubjectColumn).data().toString(), "Subject 2");

    model.clearItems();
    QCOMPARE(proxy.rowCount(), 0);
    model.appendItem(mailRow(6)); // after a reset the first row shows at once again
    QCOMPARE(proxy.rowCount(), 1);
}

void TestMailListModel::proxyPassesCheckBoxesAndRoles()
{
    MailListModel model;
    BatchedRowsProxy proxy;
    proxy.setSourceModel(&model);
    model.setCheckBoxesShown(true);
    model.appendItems({mailRow(1, MailImage::Seen), mailRow(2, MailImage::New)});
    proxy.flush();
    QSignalSpy changed(&proxy, &QAbstractItemModel::dataChanged);

    QCOMPARE(checkRow(proxy, 2), true);
    QVERIFY(model.item(1).checked);
    QCOMPARE(isRowChecked(proxy, 2), std::optional<bool>(true));
    QCOMPARE(changed.size(), 1);
    QVERIFY(proxy.flags(proxy.index(0, 0)) & Qt::ItemIsUserCheckable);
    QCOMPARE(proxy.index(0, 0).data(MailListModel::ImageRole).value<MailImage>(), MailImage::Seen);
    QCOMPARE(proxy.index(1, 0).data(MailListModel::KeyRole).value<AccountKey>(),
             (AccountKey{2, "secret"}));

    model.appendItem(mailRow(3));
    model.setImage(2, MailImage::Seen); // a pending row: nothing to tell the view yet
    QCOMPARE(changed.size(), 1);
    model.setImage(0, MailImage::New);
    QCOMPARE(changed.size(), 2);
    model.setCheckBoxesShown(false); // all rows change; the view knows two
    QCOMPARE(changed.size(), 3);
    QCOMPARE(changed[2][0].toModelIndex(), proxy.index(0, 0));
    QCOMPARE(changed[2][1].toModelIndex(), proxy.index(1, 0));
}

// Random inserts, removals, changes and resets on a plain list: a view that
// follows only the proxy's signals always sees a prefix of the source.
void TestMailListModel::proxyKeepsViewsInStep()
{
    QStringListModel source;
    BatchedRowsProxy proxy;
    proxy.setBatchInterval(1000000); // only flush() shows pending rows
    proxy.setSourceModel(&source);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ViewMirror view(proxy);
    QRandomGenerator random(77);
    int next = 0;
    for (int step = 0; step < 3000; ++step) {
        const int rows = source.rowCount();
        const int op = random.bounded(10);
        if (op < 4 || rows == 0) {
            const int at = op == 0 && rows > 0 ? random.bounded(rows + 1) : rows;
            const int count = random.bounded(1, 4);
            source.insertRows(at, count);
            for (int i = 0; i < count; ++i)
                source.setData(source.index(at + i), QString::number(next++));
        } else if (op < 7) {
            const int at = random.bounded(rows);
            source.removeRows(at, random.bounded(1, rows - at + 1));
        } else if (op == 7) {
            source.setData(source.index(random.bounded(rows)), QString::number(next++));
        } else if (op == 8) {
            proxy.flush();
            QCOMPARE(proxy.rowCount(), source.rowCount());
        } else if (random.bounded(10) == 0) {
            source.setStringList({});
        }
        QCOMPARE(view.rows, proxyTexts(proxy));
        QCOMPARE(proxyTexts(proxy), source.stringList().mid(0, proxy.rowCount()));
        QCOMPARE(proxy.pendingRows(), source.rowCount() - proxy.rowCount());
    }
}

QTEST_GUILESS_MAIN(TestMailListModel)
#include "test_mail_list_model.moc"
