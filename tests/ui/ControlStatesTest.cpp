#include "ui/ControlStates.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

using namespace nrvs;

class ControlStatesTest : public QObject {
    Q_OBJECT
  private slots:
    void groupsRoundTripThroughStateStrings() {
        QWidget w;
        QCheckBox a(&w), b(&w), c(&w);
        QList<QAbstractButton*> boxes{&a, &b, &c};
        SetButtonsState("101", boxes);
        QVERIFY(a.isChecked() && !b.isChecked() && c.isChecked());
        QCOMPARE(ButtonsState(boxes), QString("101"));
        SetButtonsState("020", boxes);
        QCOMPARE(ButtonsState(boxes), QString("010")); // any character but "0" is on
        SetButtonsState("1", boxes);
        QCOMPARE(ButtonsState(boxes), QString("110")); // a short string leaves the rest alone

        QWidget group;
        QRadioButton r1(&group), r2(&group), r3(&group);
        QList<QAbstractButton*> radios{&r1, &r2, &r3};
        SetButtonsState("010", radios);
        QCOMPARE(ButtonsState(radios), QString("010"));

        QToolButton t1, t2;
        t1.setCheckable(true);
        t2.setCheckable(true);
        SetButtonsState("01", {&t1, &t2});
        QCOMPARE(ButtonsState({&t1, &t2}), QString("01"));

        QListWidget list;
        for (int i = 0; i < 4; ++i) {
            auto* item = new QListWidgetItem(QString::number(i), &list);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        SetCheckListState("0110", &list);
        QCOMPARE(CheckListState(&list), QString("0110"));
        SetCheckListState("", &list);
        QCOMPARE(CheckListState(&list), QString("0110"));
    }

    void enablingCarriesItsCue() {
        QGroupBox box;
        QPalette pal = box.palette();
        pal.setColor(QPalette::Window, QColor(200, 220, 240));
        box.setPalette(pal);
        box.setAutoFillBackground(true);
        auto* edit = new QLineEdit(&box);
        auto* label = new QLabel("&Name", &box);
        label->setBuddy(edit);

        EnableWithCue(edit, false);
        QVERIFY(!edit->isEnabled());
        QCOMPARE(edit->palette().color(QPalette::Disabled, QPalette::Base), QColor(200, 220, 240));
        EnableWithCue(edit, true);
        QVERIFY(edit->isEnabled());
        QCOMPARE(edit->palette().color(QPalette::Active, QPalette::Base),
                 edit->style()->standardPalette().color(QPalette::Active, QPalette::Base));

        EnableWithCue(label, false);
        QVERIFY(!label->isEnabled());
        QVERIFY(!edit->isEnabled()); // the label's control greys out with it
        EnableWithCue(label, true);
        QVERIFY(edit->isEnabled());

        QAction item("x");
        QIcon icon(QPixmap(16, 16));
        MenuItemOnOff(&item, false, icon);
        QVERIFY(item.isVisible() && !item.isEnabled() && item.icon().isNull());
        MenuItemOnOff(&item, true, icon);
        QVERIFY(item.isEnabled() && !item.icon().isNull());
    }
};

QTEST_MAIN(ControlStatesTest)
#include "ControlStatesTest.moc"
