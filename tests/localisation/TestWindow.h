// A small window with the kinds of controls that window translation and the export visit.
#pragma once

#include "localisation/ui/TranslateForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

namespace nbx::test {

// A grid wrapper: caption, column captions (only while headers show), split captions.
class TestGrid : public QWidget, public TranslatableTexts {
public:
    explicit TestGrid(QWidget* parent) : QWidget(parent) {}
    QString caption = QStringLiteral("INCIDENCIAS");
    QStringList columns = {QStringLiteral("Fecha"), QStringLiteral("Conexi\u00f3n\rRS-232")};
    QStringList splits = {QStringLiteral("Sesi\u00f3n")};
    bool headersShown = true;

    QStringList texts() const override
    {
        QStringList t{caption};
        if (headersShown)
            t += columns;
        return t + splits;
    }
    void setTexts(const QStringList& t) override
    {
        int i = 0;
        caption = t.value(i++);
        if (headersShown)
            for (QString& c : columns)
                c = t.value(i++);
        for (QString& s : splits)
            s = t.value(i++);
    }
};

class TestChart : public QWidget, public TranslatableTexts {
public:
    explicit TestChart(QWidget* parent) : QWidget(parent) {}
    QStringList labels = {QStringLiteral("Abierto"), QStringLiteral("D\u00eda"), QStringLiteral("Noche")};
    QStringList texts() const override { return labels; }
    void setTexts(const QStringList& t) override { labels = t; }
};

class TestWindow : public QWidget {
public:
    TestWindow()
    {
        setObjectName(QStringLiteral("TestWindow"));
        setWindowTitle(QStringLiteral("Idioma"));
        auto* layout = new QVBoxLayout(this);
        menuBar = new QMenuBar(this);
        menuBar->setObjectName(QStringLiteral("menuBar"));
        menu = new QMenu(QStringLiteral("Hora"), menuBar);
        menu->setObjectName(QStringLiteral("menuHora"));
        menuBar->addMenu(menu);
        action = new QAction(QStringLiteral("Lunes"), this);
        action->setObjectName(QStringLiteral("actionLunes"));
        menu->addAction(action);
        separator = new QAction(this);
        separator->setObjectName(QStringLiteral("separator1"));
        separator->setSeparator(true);
        menu->addAction(separator);
        layout->setMenuBar(menuBar);

        label = add<QLabel>(QStringLiteral("Label1"), QStringLiteral("Fecha:"));
        button = add<QPushButton>(QStringLiteral("SSCommandAceptar"), QStringLiteral("Aceptar"));
        button->setToolTip(QStringLiteral("Hora"));
        check = add<QCheckBox>(QStringLiteral("Check1"), QStringLiteral("Martes"));
        group = new QGroupBox(QStringLiteral("Contacto:"), this);
        group->setObjectName(QStringLiteral("Frame1"));
        layout->addWidget(group);
        auto* inGroup = new QVBoxLayout(group);
        groupLabel = new QLabel(QStringLiteral("Local:"), group);
        groupLabel->setObjectName(QStringLiteral("Label2"));
        inGroup->addWidget(groupLabel);

        tagged = add<QLabel>(QStringLiteral("LabelTagged"), QStringLiteral("Jueves"));
        tagged->setProperty("tag", QStringLiteral("!"));
        tagged->setToolTip(QStringLiteral("Viernes"));
        taggedX = add<QPushButton>(QStringLiteral("ButtonTaggedX"), QStringLiteral("Jueves"));
        taggedX->setProperty("tag", QStringLiteral("!x"));
        taggedLate = add<QPushButton>(QStringLiteral("ButtonTaggedLate"), QStringLiteral("Jueves"));
        taggedLate->setProperty("tag", QStringLiteral("a!"));
        unnamed = new QLabel(QStringLiteral("Viernes"), this); // no object name: not a designed control
        layout->addWidget(unnamed);

        tabs = new QTabWidget(this);
        tabs->setObjectName(QStringLiteral("SSTab1"));
        tabs->setProperty("tag", QStringLiteral("!"));
        tabPage = new QWidget;
        tabPage->setObjectName(QStringLiteral("TabPage1"));
        tabs->addTab(tabPage, QStringLiteral("Lunes"));
        tabs->addTab(new QWidget, QStringLiteral("Martes"));
        layout->addWidget(tabs);
        tabLabel = new QLabel(QStringLiteral("Hora"), tabPage);
        tabLabel->setObjectName(QStringLiteral("LabelInTab"));

        grid = new TestGrid(this);
        grid->setObjectName(QStringLiteral("TDBGrid1"));
        grid->setProperty("tag", QStringLiteral("!"));
        layout->addWidget(grid);
        chart = new TestChart(this);
        chart->setObjectName(QStringLiteral("Chart1"));
        layout->addWidget(chart);

        date = new QDateEdit(this);
        date->setObjectName(QStringLiteral("DateEdit1"));
        date->setCalendarPopup(true);
        layout->addWidget(date);
        combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("Combo1"));
        combo->addItems({QStringLiteral("Enero"), QStringLiteral("Febrero")});
        layout->addWidget(combo);
        edit = add<QLineEdit>(QStringLiteral("Text1"), QStringLiteral("Marzo"));
    }

    template <class W>
    W* add(const QString& name, const QString& text)
    {
        auto* w = new W(text, this);
        w->setObjectName(name);
        layout()->addWidget(w);
        return w;
    }

    QMenuBar* menuBar;
    QMenu* menu;
    QAction* action;
    QAction* separator;
    QLabel* label;
    QPushButton* button;
    QCheckBox* check;
    QGroupBox* group;
    QLabel* groupLabel;
    QLabel* tagged;
    QPushButton* taggedX;
    QPushButton* taggedLate;
    QLabel* unnamed;
    QTabWidget* tabs;
    QWidget* tabPage;
    QLabel* tabLabel;
    TestGrid* grid;
    TestChart* chart;
    QDateEdit* date;
    QComboBox* combo;
    QLineEdit* edit;
};

} // namespace nbx::test
