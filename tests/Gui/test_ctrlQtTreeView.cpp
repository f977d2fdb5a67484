// The Qt tree control against the in-memory tree of the core: the same edits must leave the
// same structure, and the item model must stay consistent for the views throughout.
#include "Gui/ctrlQtTreeView.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

class Label : public tviTreeViewItem {
public:
    Label(ctrlTreeView* tree, int id) : tviTreeViewItem(tree), id(id) {}
    std::string getText() const override { return std::to_string(id); }
    int id;
};

// The tree as text: "id(child child ...)" in sibling order, with the expanded flag.
std::string shape(const ctrlTreeView& tree, TreeNode node = kTreeRoot)
{
    std::string out;
    for (TreeNode c = tree.getFirstChild(node); c != nullptr; c = tree.getNextSibling(c)) {
        out += static_cast<Label*>(tree.getItem(c))->getText();
        if (tree.isExpanded(c))
            out += "+";
        if (tree.getFirstChild(c) != nullptr)
            out += "(" + shape(tree, c) + ")";
        out += " ";
    }
    return out;
}

// Both trees, with the items of each and a map from id to the node in each tree.
struct Pair {
    ctrlMemoryTreeView memory;
    ctrlQtTreeView qt;
    std::vector<std::unique_ptr<Label>> memoryItems;
    std::vector<std::unique_ptr<Label>> qtItems;
    std::vector<TreeNode> memoryNodes;
    std::vector<TreeNode> qtNodes;

    // where: -1 first, -2 last, else after the node of that id
    bool insert(int parentId, int where)
    {
        int id = static_cast<int>(memoryItems.size());
        memoryItems.push_back(std::make_unique<Label>(&memory, id));
        qtItems.push_back(std::make_unique<Label>(&qt, id));
        TreeNode mp = parentId < 0 ? kTreeRoot : memoryNodes[parentId];
        TreeNode qp = parentId < 0 ? kTreeRoot : qtNodes[parentId];
        TreeNode ma = where == -1 ? kTreeFirst : where == -2 ? kTreeLast : memoryNodes[where];
        TreeNode qa = where == -1 ? kTreeFirst : where == -2 ? kTreeLast : qtNodes[where];
        TreeNode m = memory.insertNode(mp, ma, memoryItems.back().get());
        TreeNode q = qt.insertNode(qp, qa, qtItems.back().get());
        memoryNodes.push_back(m);
        qtNodes.push_back(q);
        return (m == nullptr) == (q == nullptr);
    }
};

bool isLive(const ctrlTreeView& tree, TreeNode node, int id)
{
    return node != nullptr && tree.getItem(node) != nullptr &&
           static_cast<Label*>(tree.getItem(node))->id == id;
}

} // namespace

class TestCtrlQtTreeView : public QObject {
    Q_OBJECT
private slots:
    void sameStructureAsMemoryTreeAfterRandomEdits();
    void refusesMoveIntoOwnSubtree();
    void bulkInsertionTellsViewsOnceAndKeepsExpansion();
};

void TestCtrlQtTreeView::sameStructureAsMemoryTreeAfterRandomEdits()
{
    Pair p;
    // The tester checks every signal the model sends against what it answers afterwards.
    QAbstractItemModelTester tester(&p.qt, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::mt19937 random(7);
    auto pick = [&](bool allowRoot) {
        std::vector<int> live;
        for (size_t i = 0; i < p.memoryNodes.size(); ++i) {
            if (isLive(p.memory, p.memoryNodes[i], static_cast<int>(i)))
                live.push_back(static_cast<int>(i));
        }
        if (live.empty() || (allowRoot && random() % 4 == 0))
            return -1;
        return live[random() % live.size()];
    };
    for (int step = 0; step < 600; ++step) {
        int op = static_cast<int>(random() % 10);
        if (op < 5) {
            int parent = pick(true);
            int where = static_cast<int>(random() % 3) - 2;
            if (where == 0) {
                TreeNode mp = parent < 0 ? kTreeRoot : p.memoryNodes[parent];
                TreeNode c = p.memory.getFirstChild(mp);
                where = c != nullptr ? static_cast<Label*>(p.memory.getItem(c))->id : -2;
            }
            QVERIFY(p.insert(parent, where));
        } else if (op < 7) {
            int node = pick(false);
            if (node < 0)
                continue;
            QCOMPARE(p.qt.deleteNode(p.qtNodes[node]), p.memory.deleteNode(p.memoryNodes[node]));
        } else if (op < 9) {
            int node = pick(false);
            int parent = pick(true);
            if (node < 0)
                continue;
            int where = static_cast<int>(random() % 2) - 2;
            TreeNode mp = parent < 0 ? kTreeRoot : p.memoryNodes[parent];
            TreeNode qp = parent < 0 ? kTreeRoot : p.qtNodes[parent];
            TreeNode ma = where == -1 ? kTreeFirst : kTreeLast;
            TreeNode qa = where == -1 ? kTreeFirst : kTreeLast;
            if (random() % 3 == 0 && parent >= 0 && p.memory.getFirstChild(mp) != nullptr) {
                ma = p.memory.getFirstChild(mp);
                qa = p.qtNodes[static_cast<Label*>(p.memory.getItem(ma))->id];
            }
            QCOMPARE(p.qt.moveNode(p.qtNodes[node], qp, qa),
                     p.memory.moveNode(p.memoryNodes[node], mp, ma));
        } else {
            int node = pick(false);
            if (node < 0)
                continue;
            bool open = random() % 2 == 0;
            QCOMPARE(p.qt.expand(p.qtNodes[node], open),
                     p.memory.expand(p.memoryNodes[node], open));
        }
        QCOMPARE(shape(p.qt), shape(p.memory));
    }
    // Every row the model gives leads back to the node it was built from.
    for (size_t i = 0; i < p.qtNodes.size(); ++i) {
        if (!isLive(p.qt, p.qtNodes[i], static_cast<int>(i)))
            continue;
        QModelIndex index = p.qt.indexOf(p.qtNodes[i]);
        QCOMPARE(p.qt.nodeOf(index), p.qtNodes[i]);
        QCOMPARE(p.qt.data(index, Qt::DisplayRole).toString(),
                 QString::number(static_cast<int>(i)));
    }
}

void TestCtrlQtTreeView::refusesMoveIntoOwnSubtree()
{
    Pair p;
    QAbstractItemModelTester tester(&p.qt, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(p.insert(-1, -2)); // 0
    QVERIFY(p.insert(0, -2));  // 1 under 0
    QVERIFY(p.insert(1, -2));  // 2 under 1
    QVERIFY(p.insert(-1, -2)); // 3
    std::string before = shape(p.qt);
    struct Case {
        int node;
        int target;
        bool allowed;
    } cases[] = {{0, 0, false}, {0, 1, false}, {0, 2, false},
                 {1, 2, false}, {2, 3, true},  {0, 3, true}};
    for (const Case& c : cases) {
        bool moved = p.qt.moveNode(p.qtNodes[c.node], p.qtNodes[c.target], kTreeLast);
        QCOMPARE(moved, c.allowed);
        QCOMPARE(p.memory.moveNode(p.memoryNodes[c.node], p.memoryNodes[c.target], kTreeLast),
                 c.allowed);
        if (!c.allowed)
            QCOMPARE(shape(p.qt), before);
        before = shape(p.qt);
        QCOMPARE(shape(p.qt), shape(p.memory));
    }
}

void TestCtrlQtTreeView::bulkInsertionTellsViewsOnceAndKeepsExpansion()
{
    Pair p;
    QAbstractItemModelTester tester(&p.qt, QAbstractItemModelTester::FailureReportingMode::QtTest);
    int resets = 0;
    int inserts = 0;
    QObject::connect(&p.qt, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&p.qt, &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    std::vector<QModelIndex> expanded;
    QObject::connect(&p.qt, &ctrlQtTreeView::expansionRequested,
                     [&](const QModelIndex& index, bool open) {
                         if (open)
                             expanded.push_back(index);
                     });
    p.qt.beginBulk();
    QVERIFY(p.insert(-1, -2));
    for (int i = 0; i < 50; ++i)
        QVERIFY(p.insert(0, -2));
    p.qt.expand(p.qtNodes[0], true);
    p.qt.endBulk();
    QCOMPARE(resets, 1);
    QCOMPARE(inserts, 0);
    QCOMPARE(p.qt.rowCount(p.qt.indexOf(p.qtNodes[0])), 50);
    // The reset collapses a view; the expanded node is announced again after it.
    QCOMPARE(expanded.size(), size_t(1));
    QCOMPARE(p.qt.nodeOf(expanded.front()), p.qtNodes[0]);
}

QTEST_MAIN(TestCtrlQtTreeView)
#include "test_ctrlQtTreeView.moc"
