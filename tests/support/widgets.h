#pragma once
// What a user does to a window's controls, found by name: picks in lists, text typed into boxes,
// clicks on buttons and pictures. Every action goes through the widget's own event handling, so
// the window sees what it sees from a user (a pick in a list is the list's `activated`).

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace ui {

// The control named name in window w; fails the test (and returns null) when there is none.
template <class W>
W* ctl(const QObject& w, const QString& name)
{
    W* c = w.findChild<W*>(name);
    EXPECT_NE(c, nullptr) << "no control " << name.toStdString();
    return c;
}

// Picks entry i of a drop-down list: opens the list and clicks the entry.
inline void pick(QComboBox* combo, int i)
{
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(i >= 0 && i < combo->count()) << combo->objectName().toStdString() << " has no entry " << i;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QModelIndex index = view->model()->index(i, combo->modelColumn(), view->rootIndex());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}
inline void pick(QComboBox* combo, const QString& text)
{
    ASSERT_NE(combo, nullptr);
    pick(combo, combo->findText(text));
}

// Clicks entry i of a list box.
inline void pick(QListWidget* list, int i)
{
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(i >= 0 && i < list->count());
    list->scrollToItem(list->item(i));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
}

// Replaces a box's text by typing.
inline void type(QLineEdit* box, const QString& text)
{
    ASSERT_NE(box, nullptr);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

inline void click(QAbstractButton* b)
{
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace ui
