// The "Color settings" form as setupUi leaves it, against a dump checked in
// under tests/data: one line per widget, indented under its parent, in the
// order Qt keeps them (creation, then the form's stacking), with what the
// form fixes: class, name, place, text, limits, picture. The window code
// finds its controls by these names and the user tells them apart by these
// texts.
#include "test_support.h"
#include "ui_config_wnd.h"

#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QtTest>

namespace {

QString textOf(QWidget *w)
{
    QString text = w->isWindow() ? w->windowTitle() : QString();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        text = button->text();
    if (auto *group = qobject_cast<QGroupBox *>(w))
        text = group->title();
    if (auto *label = qobject_cast<QLabel *>(w))
        text = Qt::mightBeRichText(label->text()) ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                                  : label->text();
    return text.isEmpty() ? QString() : " \"" + text.replace('\n', "\\n") + '"';
}

// What the form sets for each widget. Qt's own parts (the tab widget's bar
// and stack, a box's line edit) are left out; a tab page, placed by its tab
// widget, is given by its title, in the order of the tabs.
void dump(QWidget *w, int depth, QStringList *lines)
{
    auto *tabs = qobject_cast<QTabWidget *>(w);
    if (!w->objectName().startsWith(QLatin1String("qt_"))) {
        QString line = QString(depth++ * 2, ' ') + w->metaObject()->className() + ' ' + w->objectName();
        auto *pages = w->parentWidget() ? qobject_cast<QTabWidget *>(w->parentWidget()->parentWidget()) : nullptr;
        const QRect r = w->geometry();
        line += pages ? QStringLiteral(" tab \"%1\"").arg(pages->tabText(pages->indexOf(w)))
                      : QStringLiteral(" %1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        line += textOf(w);
        if (w->isWindow())
            line += QStringLiteral(" min %1x%2 max %3x%4 icon %5")
                        .arg(w->minimumWidth())
                        .arg(w->minimumHeight())
                        .arg(w->maximumWidth())
                        .arg(w->maximumHeight())
                        .arg(!w->windowIcon().isNull());
        if (auto *slider = qobject_cast<QAbstractSlider *>(w))
            line += slider->orientation() == Qt::Horizontal ? " horizontal" : " vertical";
        auto *label = qobject_cast<QLabel *>(w);
        if (const QPixmap picture = label ? label->pixmap(Qt::ReturnByValue) : QPixmap(); !picture.isNull())
            line += QStringLiteral(" pixmap %1x%2%3")
                        .arg(picture.width())
                        .arg(picture.height())
                        .arg(label->hasScaledContents() ? " scaled" : "");
        if (auto *box = qobject_cast<QSpinBox *>(w); box && !box->suffix().isEmpty())
            line += QStringLiteral(" suffix \"%1\"").arg(box->suffix());
        if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isChecked())
            line += QStringLiteral(" checked");
        if (tabs)
            line += QStringLiteral(" current %1").arg(tabs->currentIndex());
        *lines << line;
    }
    for (int i = 0; tabs && i < tabs->count(); ++i)
        dump(tabs->widget(i), depth, lines);
    for (QObject *child : w->children())
        if (child->isWidgetType() && !tabs)
            dump(static_cast<QWidget *>(child), depth, lines);
}

}  // namespace

class TestConfigForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(settings); }  // the form lives in a static library

    void matchesTheCheckedInDump()
    {
        QWidget window;
        Ui::ConfigWnd ui;
        ui.setupUi(&window);
        QStringList actual;
        dump(&window, 0, &actual);
        compareWithGolden(QStringLiteral("config_wnd.widgets.txt"), actual);
    }
};

QTEST_MAIN(TestConfigForm)
#include "tst_config_form.moc"
