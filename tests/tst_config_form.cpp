// The "Color settings" form as setupUi leaves it. The window code reaches every
// widget by name and the control window finds the window by its title, so the
// tree itself is the contract checked here.
#include "ui_config_wnd.h"

#include <QtTest>
#include <QStackedWidget>
#include <QTabBar>
#include <QTranslator>

#include <cstring>
#include <type_traits>

namespace {

// One entry per tab, in index order. `order` lists the page's children in
// creation order: also the member order and, with no tab order set, the
// keyboard focus order.
struct Page {
    const char *name, *suffix, *title, *head, *headText, *logo, *feature, *colour, *effect, *speed, *caption[3], *hint;
    const char *order;
};
const Page pages[] = {
    {"tab", "", "speaking", "label_4", "Settings while speaking", "label_12", "label_22", "groupBox", "groupBox_2", "groupBox_3",
     {"label", "label_2", "label_3"}, "label_19",
     "groupBox_2 radioEffectOff radioEffectOn radioEffectBreathing radioEffectBlinking radioEffectHeartbeat groupBox_3 "
     "radioSpeedFast radioSpeedNormal radioSpeedSlow label_4 label_12 groupBox label redBox label_2 blueBox label_3 greenBox "
     "redSlider blueSlider greenSlider label_19 applyButton configOkButton configCancelButton label_22"},
    {"tab_2", "_2", "not speaking", "label_8", "Settings while not speaking", "label_11", "label_23", "groupBox_10", "groupBox_4",
     "groupBox_5", {"label_7", "label_6", "label_5"}, "label_21",
     "groupBox_4 radioEffectOff_2 radioEffectOn_2 radioEffectBreathing_2 radioEffectBlinking_2 radioEffectHeartbeat_2 groupBox_5 "
     "radioSpeedFast_2 radioSpeedNormal_2 radioSpeedSlow_2 label_8 label_11 groupBox_10 redBox_2 label_7 label_6 greenBox_2 label_5 "
     "blueBox_2 blueSlider_2 greenSlider_2 redSlider_2 label_21 applyButton_2 configOkButton_2 configCancelButton_2 label_23"},
    {"tab_3", "_4", "others", "label_27", "Settings while others speaking", "label_16", "label_24", "groupBox_11", "groupBox_9",
     "groupBox_12", {"label_10", "label_17", "label_26"}, "label_25",
     "label_16 groupBox_9 radioEffectOff_4 radioEffectOn_4 radioEffectBreathing_4 radioEffectBlinking_4 radioEffectHeartbeat_4 "
     "label_25 configOkButton_4 configCancelButton_4 groupBox_11 redBox_4 label_10 label_17 greenBox_4 label_26 blueBox_4 "
     "blueSlider_4 greenSlider_4 redSlider_4 groupBox_12 radioSpeedFast_4 radioSpeedNormal_4 radioSpeedSlow_4 applyButton_4 label_27 label_24"},
    {"tab_4", "_3", "options", "label_9", "Options", "label_14", "label_28", "groupBox_13", "groupBox_7", "groupBox_6",
     {"label_13", "label_15", "label_18"}, nullptr,
     "label_9 groupBox_8 radioOtherTalkingChange radioOtherTalkingNoChange label_14 groupBox_13 groupBox_6 radioSpeedFast_3 "
     "radioSpeedNormal_3 radioSpeedSlow_3 blueBox_3 groupBox_7 radioEffectOff_3 radioEffectOn_3 radioEffectBreathing_3 "
     "radioEffectBlinking_3 radioEffectHeartbeat_3 label_18 blueSlider_3 greenBox_3 redSlider_3 label_13 greenSlider_3 label_15 "
     "redBox_3 applyButton_3 configOkButton_3 configCancelButton_3 label_28"}};

QStringList creationOrder()
{
    QStringList all{QStringLiteral("tabWidget")};
    for (const Page &p : pages)
        all << QString::fromLatin1(p.name) << QString::fromLatin1(p.order).split(QLatin1Char(' '));
    return all;
}

// Pre-order walk of the form's own widgets. Pages go in tab order, since the
// stack reorders its children() when it raises or lowers one.
void walk(QWidget *parent, QStringList *out)
{
    QList<QWidget *> kids = parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    if (auto *stack = qobject_cast<QStackedWidget *>(parent))
        for (int i = 0; i < stack->count(); ++i) kids[i] = stack->widget(i);
    for (QWidget *w : kids) {
        if (qobject_cast<QTabBar *>(w)) continue;
        if (!w->objectName().startsWith(QLatin1String("qt_"))) out->append(w->objectName());
        walk(w, out);
    }
}

bool hasText(QWidget *w) { return w->inherits("QLabel") || w->inherits("QAbstractButton") || w->inherits("QGroupBox"); }
QString textOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w)) return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w)) return b->text();
    return qobject_cast<QGroupBox *>(w)->title();
}

QString rich(int pt, const char *text)
{
    return QStringLiteral("<html><head/><body><p><span style=\" font-size:%1pt;\">%2</span></p></body></html>").arg(pt).arg(QLatin1String(text));
}

// Marks the texts of the form's context only; any other context stays unmarked.
struct MarkingTranslator : QTranslator {
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *disambiguation, int) const override
    {
        if (qstrcmp(context, "ConfigWnd") != 0 || disambiguation) return QString();
        return QLatin1Char('#') + QString::fromUtf8(source);
    }
};

struct Form {
    QWidget w;
    Ui::ConfigWnd ui;
    Form() { ui.setupUi(&w); }
};

} // namespace

class TestConfigForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(settings); }  // the form lives in a static library

    void widgets_data()
    {
        QTest::addColumn<QString>("cls"); QTest::addColumn<QString>("parent"); QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("text");  // null: the widget carries none
        QTest::addColumn<QString>("picture");
        auto row = [](const QByteArray &name, const char *cls, const QByteArray &parent, QRect rect,
                      const QString &text = QString(), const char *picture = "") {
            QTest::newRow(name.constData()) << cls << QString::fromLatin1(parent) << rect << text << picture;
        };
        const char *const colours[] = {"Red", "Green", "Blue"}, *const speeds[] = {"Slow", "Normal", "Fast"};
        const char *const effects[] = {"Off", "On", "Blinking", "Breathing", "Heartbeat"};
        const int headWidth[] = {361, 351, 381, 251};
        row("tabWidget", "QTabWidget", "ConfigWnd", QRect(0, 0, 1271, 601));
        for (int i = 0; i < 4; ++i) {
            // The options page packs its profile into one group, with narrower controls.
            const Page &p = pages[i];
            const bool opt = i == 3;
            const QByteArray s = p.suffix, page = p.name, groups = opt ? p.colour : p.name;
            row(page, "QWidget", "tabWidget", QRect(), p.title);
            row(p.head, "QLabel", page, QRect(10, 10, headWidth[i], 41), rich(16, p.headText));
            row(p.logo, "QLabel", page, QRect(460, 10, 71, 71), "", ":/logo");
            row(p.feature, "QLabel", page, QRect(330, 300, 171, 71), "", ":/vossikZellFx");
            row(p.colour, "QGroupBox", page, opt ? QRect(10, 80, 531, 201) : QRect(10, 70, 431, 131),
                opt ? "These options apply by closing TeamSpeak 3" : "Move the sliders to change the color");
            for (int c = 0; c < 3; ++c) {
                const QByteArray colour = QByteArray(colours[c]).toLower();
                const int y = opt ? 40 + 40 * c : 30 + 30 * c, w = (opt ? c == 0 : i == 0 && c == 2) ? 41 : 51;
                row(colour + "Slider" + s, "QSlider", p.colour, opt ? QRect(20, y, 111, 19) : QRect(30, y, 221, 19));
                row(colour + "Box" + s, "QSpinBox", p.colour, opt ? QRect(150, y, 42, 22) : QRect(290, y, 61, 22));
                row(p.caption[c], "QLabel", p.colour, QRect(opt ? 200 : 359, y, w, 21), rich(10, colours[c]));
            }
            row(p.effect, "QGroupBox", groups, opt ? QRect(260, 40, 120, 131) : QRect(20, 240, 120, 131), "Effect");
            for (int e = 0; e < 5; ++e)
                row("radioEffect" + QByteArray(effects[e]) + s, "QRadioButton", p.effect, QRect(10, 20 + 20 * e, 82, 17), effects[e]);
            row(p.speed, "QGroupBox", groups, opt ? QRect(400, 40, 120, 91) : QRect(160, 240, 120, 91), "Speed");
            for (int e = 0; e < 3; ++e)
                row("radioSpeed" + QByteArray(speeds[e]) + s, "QRadioButton", p.speed, QRect(20, 20 + 20 * e, 82, 17), speeds[e]);
            row("applyButton" + s, "QPushButton", page, QRect(300, 380, 75, 31), "Apply");
            row("configOkButton" + s, "QPushButton", page, QRect(380, 380, 75, 31), "Ok");
            row("configCancelButton" + s, "QPushButton", page, QRect(460, 380, 75, 31), "Cancel");
            if (p.hint)
                row(p.hint, "QLabel", page, QRect(30, 220, 271, 16), rich(9, "Choose your favourite effect with effectspeed:"));
        }
        row("groupBox_8", "QGroupBox", "tab_4", QRect(20, 300, 261, 71), "color and effect when others speak");
        row("radioOtherTalkingChange", "QRadioButton", "groupBox_8", QRect(20, 20, 221, 17), "Change color when others speak");
        row("radioOtherTalkingNoChange", "QRadioButton", "groupBox_8", QRect(20, 40, 221, 17), "Change no color");
    }

    void widgets()
    {
        QFETCH(QString, cls); QFETCH(QString, parent); QFETCH(QRect, rect); QFETCH(QString, text); QFETCH(QString, picture);
        Form f;
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QCOMPARE(f.w.findChildren<QWidget *>(name).size(), 1);
        QWidget *w = f.w.findChild<QWidget *>(name);
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), cls);
        QVERIFY(!w->layout());  // everything sits at absolute rectangles
        if (auto *label = qobject_cast<QLabel *>(w)) {
            QCOMPARE(label->textFormat(), Qt::AutoText);
            QCOMPARE(label->hasScaledContents(), !picture.isEmpty());
            QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage(), picture.isEmpty() ? QImage() : QPixmap(picture).toImage());
        }
        if (const int tab = f.ui.tabWidget->indexOf(w); tab >= 0) {
            QCOMPARE(parent, QStringLiteral("tabWidget"));
            QCOMPARE(f.ui.tabWidget->tabText(tab), text);
            return;
        }
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), rect);
        QCOMPARE(hasText(w), !text.isNull());
        if (hasText(w)) QCOMPARE(textOf(w), text);
    }

    void window()
    {
        Form f;
        QCOMPARE(f.w.objectName(), QStringLiteral("ConfigWnd"));
        QCOMPARE(f.w.windowTitle(), QStringLiteral("Color settings"));  // the control window looks for it by this
        QCOMPARE(f.w.size(), QSize(550, 442));
        QCOMPARE(f.w.windowIcon().availableSizes(), QList<QSize>{QSize(303, 300)});
        QCOMPARE(f.ui.tabWidget->currentIndex(), 0);
    }

    void sizeLimits_data()
    {
        QTest::addColumn<QSize>("request"); QTest::addColumn<QSize>("result");
        QTest::newRow("zero, as the control window asks") << QSize(0, 0) << QSize(550, 442);
        QTest::newRow("too big") << QSize(900, 700) << QSize(550, 444);
        QTest::newRow("narrow, height in range") << QSize(300, 443) << QSize(550, 443);
        QTest::newRow("too short") << QSize(550, 100) << QSize(550, 442);
    }

    void sizeLimits()
    {
        QFETCH(QSize, request); QFETCH(QSize, result);
        for (bool shown : {false, true}) {
            Form f;
            if (shown) { f.w.show(); QVERIFY(QTest::qWaitForWindowExposed(&f.w)); }
            f.w.resize(request);
            QCOMPARE(f.w.size(), result);
        }
    }

    void creationOrder()
    {
        Form f;
        QStringList walked, members;
        walk(&f.w, &walked);
        QCOMPARE(walked, ::creationOrder());
        // The window class reaches the widgets through these members.
        static_assert(std::is_standard_layout<Ui_ConfigWnd>::value, "pointer members only");
        QWidget *raw[sizeof(Ui_ConfigWnd) / sizeof(QWidget *)];
        std::memcpy(raw, &f.ui, sizeof raw);
        for (QWidget *m : raw) members << m->objectName();
        QCOMPARE(members, ::creationOrder());
    }

    void focusOrder_data()
    {
        QTest::addColumn<int>("page");
        for (int i = 0; i < 4; ++i) QTest::newRow(pages[i].name) << i;
    }

    // Tab follows creation order, not the screen: on the first page the effect
    // radios precede the speed radios, boxes precede sliders, buttons come last.
    void focusOrder()
    {
        QFETCH(int, page);
        Form f;
        QWidget *tab = f.ui.tabWidget->widget(page);
        QStringList expected, chain;
        for (const QString &name : QString::fromLatin1(pages[page].order).split(QLatin1Char(' ')))
            if (tab->findChild<QWidget *>(name)->focusPolicy() & Qt::TabFocus) expected << name;
        QCOMPARE(expected.size(), page == 3 ? 19 : 17);
        for (QWidget *w = tab->nextInFocusChain(); w != &f.w; w = w->nextInFocusChain())
            if (tab->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->objectName().startsWith(QLatin1String("qt_")))
                chain << w->objectName();
        QCOMPARE(chain, expected);
    }

    // Nothing is set before the window loads its values: Qt's defaults throughout.
    void initialState()
    {
        Form f;
        auto range = [](auto *x) { return QVector<int>{x->minimum(), x->maximum(), x->value()}; };
        const auto sliders = f.w.findChildren<QSlider *>();
        const auto boxes = f.w.findChildren<QSpinBox *>();
        QCOMPARE(sliders.size() + boxes.size(), 24);
        for (QSlider *s : sliders) QVERIFY(range(s) == QVector<int>({0, 99, 0}) && s->orientation() == Qt::Horizontal);
        for (QSpinBox *b : boxes) QCOMPARE(range(b), QVector<int>({0, 99, 0}));
        const auto radios = f.w.findChildren<QRadioButton *>();
        QCOMPARE(radios.size(), 34);
        for (QRadioButton *r : radios) QVERIFY2(!r->isChecked(), qPrintable(r->objectName()));
    }

    // Each group box is one set: checking a radio clears its siblings only.
    void radioGroups()
    {
        Form f;
        const auto radios = f.w.findChildren<QRadioButton *>();
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

    // retranslateUi sets every text through the "ConfigWnd" context, and a
    // second call restores all of them; pictures keep their image and no text.
    void retranslate()
    {
        Form f;
        auto texts = [&f] {
            QStringList t{f.w.windowTitle()};
            for (int i = 0; i < 4; ++i) t << f.ui.tabWidget->tabText(i);
            for (const QString &name : ::creationOrder())
                if (QWidget *w = f.w.findChild<QWidget *>(name); hasText(w)) t << textOf(w);
            return t;
        };
        const QStringList original = texts();
        MarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        f.ui.retranslateUi(&f.w);
        QCoreApplication::removeTranslator(&translator);
        const QStringList marked = texts();
        QCOMPARE(marked.size(), 1 + 4 + 86);
        QCOMPARE(marked.count(QString()), 8);  // the picture labels
        for (const QString &t : marked) QVERIFY2(t.isEmpty() || t.startsWith(QLatin1Char('#')), qPrintable(t));
        for (QLabel *l : f.w.findChildren<QLabel *>()) QCOMPARE(l->pixmap(Qt::ReturnByValue).isNull(), !l->hasScaledContents());
        f.ui.retranslateUi(&f.w);
        QCOMPARE(texts(), original);
    }

    void resources_data()
    {
        QTest::addColumn<QString>("path"); QTest::addColumn<QSize>("size"); QTest::addColumn<bool>("alpha");
        QTest::newRow("logo") << ":/logo" << QSize(303, 300) << true;
        QTest::newRow("feature") << ":/vossikZellFx" << QSize(1050, 447) << false;
    }

    void resources()
    {
        QFETCH(QString, path); QFETCH(QSize, size); QFETCH(bool, alpha);
        QCOMPARE(QResource(path).compressionAlgorithm(), QResource::NoCompression);  // the PNG data as is
        const QImage image(path);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.hasAlphaChannel(), alpha);
    }
};

QTEST_MAIN(TestConfigForm)
#include "tst_config_form.moc"
