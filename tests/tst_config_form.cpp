// The "Color settings" form as setupUi leaves it. The window code reaches its
// controls by name and the user tells them apart by their texts, so what is
// checked is that each tab holds its profile's controls, each saying what it
// does; the pixel layout is left to the screenshots.
#include "ui_config_wnd.h"

#include <QTextDocumentFragment>
#include <QtTest>

namespace {

struct Form {
    QWidget w;
    Ui::ConfigWnd ui;
    Form() { ui.setupUi(&w); }
};

// What the window looks up on a tab, with the profile's suffix, as "name=what
// it says"; a slider or box says it by the caption on its row.
QStringList controlsOf(const QString &s)
{
    QStringList all;
    for (const char *effect : {"Off", "On", "Blinking", "Breathing", "Heartbeat"})
        all << QStringLiteral("radioEffect%1%2=%1").arg(QLatin1String(effect), s);
    for (const char *speed : {"Slow", "Normal", "Fast"})
        all << QStringLiteral("radioSpeed%1%2=%1").arg(QLatin1String(speed), s);
    for (const QString colour : {"Red", "Green", "Blue"})
        all << colour.toLower() + "Slider" + s + '=' + colour << colour.toLower() + "Box" + s + '=' + colour;
    return all << "applyButton" + s + "=Apply" << "configOkButton" + s + "=Ok" << "configCancelButton" + s + "=Cancel";
}

const char *classOf(const QString &name)
{
    return name.startsWith("radio") ? "QRadioButton" : name.contains("Button") ? "QPushButton"
         : name.contains("Slider") ? "QSlider" : "QSpinBox";
}

QString plain(const QString &text) { return QTextDocumentFragment::fromHtml(text).toPlainText(); }

QString textOf(QWidget *w)
{
    if (auto *button = qobject_cast<QAbstractButton *>(w)) return button->text();
    // A slider or box is named by the one label level with it in its group.
    QStringList captions;
    for (QLabel *l : w->parentWidget()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
        if (l->y() == w->y()) captions << plain(l->text());
    return captions.join(QLatin1Char('|'));
}

} // namespace

class TestConfigForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(settings); }  // the form lives in a static library

    // The options tab edits the shutdown profile, numbered 3, and the
    // others tab profile 4.
    void tabs_data()
    {
        QTest::addColumn<int>("tab"); QTest::addColumn<QString>("title"); QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("head"); QTest::addColumn<QStringList>("own");  // "name=text" found on this tab only
        QTest::newRow("speaking") << 0 << "speaking" << "" << "Settings while speaking" << QStringList();
        QTest::newRow("not speaking") << 1 << "not speaking" << "_2" << "Settings while not speaking" << QStringList();
        QTest::newRow("others") << 2 << "others" << "_4" << "Settings while others speaking" << QStringList();
        QTest::newRow("options") << 3 << "options" << "_3" << "Options"
                                 << QStringList{"radioOtherTalkingChange=Change color when others speak",
                                                "radioOtherTalkingNoChange=Change no color"};
    }
    void tabs()
    {
        QFETCH(int, tab); QFETCH(QString, title); QFETCH(QString, suffix); QFETCH(QString, head); QFETCH(QStringList, own);
        Form f;
        QCOMPARE(f.ui.tabWidget->count(), 4);
        QCOMPARE(f.ui.tabWidget->currentIndex(), 0);  // the window opens on "speaking"
        QCOMPARE(f.ui.tabWidget->tabText(tab), title);
        QWidget *page = f.ui.tabWidget->widget(tab);
        QStringList labels;
        QList<QImage> pictures;
        for (QLabel *l : page->findChildren<QLabel *>()) {
            labels << plain(l->text());
            if (!l->pixmap(Qt::ReturnByValue).isNull()) pictures << l->pixmap(Qt::ReturnByValue).toImage();
        }
        QVERIFY2(labels.contains(head), qPrintable(labels.join(" | ")));
        // The pictures come from the resources compiled into the library.
        QCOMPARE(pictures, (QList<QImage>{QPixmap(":/logo").toImage(), QPixmap(":/vossikZellFx").toImage()}));
        for (const QString &entry : own + controlsOf(suffix)) {
            const QString name = entry.section(QLatin1Char('='), 0, 0);
            const QList<QWidget *> found = f.w.findChildren<QWidget *>(name);
            QVERIFY2(found.size() == 1 && found[0]->inherits(classOf(name)) && page->isAncestorOf(found[0]), qPrintable(name));
            QCOMPARE(textOf(found[0]), entry.section(QLatin1Char('='), 1));
            if (auto *radio = qobject_cast<QRadioButton *>(found[0])) {
                QVERIFY2(!radio->isChecked(), qPrintable(name));  // the window checks what the file says
                QCOMPARE(qobject_cast<QGroupBox *>(radio->parentWidget())->title(),
                         QString(name.startsWith("radioEffect")  ? "Effect"
                                 : name.startsWith("radioSpeed") ? "Speed"
                                                                 : "color and effect when others speak"));
            }
        }
    }

    // Each group box is one set: checking a radio clears its siblings only.
    void radioGroups()
    {
        Form f;
        const auto radios = f.w.findChildren<QRadioButton *>();
        QCOMPARE(radios.size(), 34);
        for (QGroupBox *g : f.w.findChildren<QGroupBox *>())
            if (auto own = g->findChildren<QRadioButton *>(QString(), Qt::FindDirectChildrenOnly); !own.isEmpty())
                own.last()->setChecked(true);
        for (QRadioButton *r : radios) {
            QHash<QRadioButton *, bool> before;
            for (QRadioButton *q : radios) before[q] = q->isChecked();
            r->setChecked(true);
            for (QRadioButton *q : radios)
                QVERIFY2(q->isChecked() == (q == r || (q->parent() != r->parent() && before[q])),
                         qPrintable(r->objectName() + " then " + q->objectName()));
        }
    }
};

QTEST_MAIN(TestConfigForm)
#include "tst_config_form.moc"
