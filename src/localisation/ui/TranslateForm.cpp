#include "localisation/ui/TranslateForm.h"

#include "common/Prompter.h"
#include "localisation/LangDesk.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

#include <optional>

namespace nbx {

namespace {

enum class Prop { Unknown, Caption, Font, FontName, Text, ToolTipText };

Prop propFromName(const QString& name)
{
    const QString n = name.toUpper();
    if (n == QLatin1String("CAPTION"))
        return Prop::Caption;
    if (n == QLatin1String("FONT"))
        return Prop::Font;
    if (n == QLatin1String("FONT.NAME"))
        return Prop::FontName;
    if (n == QLatin1String("TEXT"))
        return Prop::Text;
    if (n == QLatin1String("TOOLTIPTEXT"))
        return Prop::ToolTipText;
    return Prop::Unknown;
}

QByteArray keyProperty(Prop p) { return "nbx_key_" + QByteArray::number(int(p)); }
QByteArray shownProperty(Prop p) { return "nbx_shown_" + QByteArray::number(int(p)); }

// The text a widget shows now for the property; nullopt when the object lacks it.
std::optional<QString> readRaw(const QObject* o, Prop p)
{
    const auto* w = qobject_cast<const QWidget*>(o);
    const auto* a = qobject_cast<const QAction*>(o);
    switch (p) {
    case Prop::Caption:
        if (auto* m = qobject_cast<const QMenu*>(o))
            return m->title();
        if (w && w->isWindow())
            return w->windowTitle();
        if (auto* l = qobject_cast<const QLabel*>(o))
            return l->text();
        if (auto* b = qobject_cast<const QAbstractButton*>(o))
            return b->text();
        if (auto* g = qobject_cast<const QGroupBox*>(o))
            return g->title();
        if (a)
            return a->text();
        return std::nullopt;
    case Prop::ToolTipText:
        // Windows and menu items have no tool tip of their own.
        if (w && !w->isWindow() && !qobject_cast<const QMenu*>(o))
            return w->toolTip();
        return std::nullopt;
    case Prop::Text:
        if (auto* e = qobject_cast<const QLineEdit*>(o))
            return e->text();
        if (auto* c = qobject_cast<const QComboBox*>(o); c && c->isEditable())
            return c->currentText();
        return std::nullopt;
    case Prop::Font:
    case Prop::FontName:
        if (w)
            return w->font().family();
        return std::nullopt;
    case Prop::Unknown: break;
    }
    return std::nullopt;
}

bool writeRaw(QObject* o, Prop p, const QString& text)
{
    auto* w = qobject_cast<QWidget*>(o);
    switch (p) {
    case Prop::Caption:
        if (auto* m = qobject_cast<QMenu*>(o)) {
            m->setTitle(text);
            return true;
        }
        if (w && w->isWindow()) {
            w->setWindowTitle(text);
            return true;
        }
        if (auto* l = qobject_cast<QLabel*>(o)) {
            l->setTextFormat(Qt::PlainText);
            l->setText(text);
            return true;
        }
        if (auto* b = qobject_cast<QAbstractButton*>(o)) {
            b->setText(text);
            return true;
        }
        if (auto* g = qobject_cast<QGroupBox*>(o)) {
            g->setTitle(text);
            return true;
        }
        if (auto* a = qobject_cast<QAction*>(o)) {
            a->setText(text);
            return true;
        }
        return false;
    case Prop::ToolTipText:
        if (w && !w->isWindow() && !qobject_cast<QMenu*>(o)) {
            w->setToolTip(text);
            return true;
        }
        return false;
    case Prop::Text:
        if (auto* e = qobject_cast<QLineEdit*>(o)) {
            e->setText(text);
            return true;
        }
        if (auto* c = qobject_cast<QComboBox*>(o); c && c->isEditable()) {
            c->setEditText(text);
            return true;
        }
        return false;
    case Prop::Font:
    case Prop::FontName:
        if (w) {
            QFont f = w->font();
            f.setFamily(text);
            w->setFont(f);
            return true;
        }
        return false;
    case Prop::Unknown: break;
    }
    return false;
}

// Keys of a list of texts kept on the object itself (tab and wrapper texts).
QStringList retainedKeys(const QObject* o, const char* name, const QStringList& current)
{
    const QStringList shown = o->property(QByteArray("nbx_shown_") + name).toStringList();
    const QVariant keys = o->property(QByteArray("nbx_key_") + name);
    if (keys.isValid() && shown == current)
        return keys.toStringList();
    return current;
}

void retainKeys(QObject* o, const char* name, const QStringList& keys, const QStringList& shown)
{
    o->setProperty(QByteArray("nbx_key_") + name, keys);
    o->setProperty(QByteArray("nbx_shown_") + name, shown);
}

QStringList tabTexts(const QTabWidget* t)
{
    QStringList out;
    for (int i = 0; i < t->count(); ++i)
        out << t->tabText(i);
    return out;
}

// Keys of a special control (wrapper or tab widget); false when the object is not one.
bool specialKeys(const QObject* o, QStringList* keys)
{
    if (auto* tt = dynamic_cast<const TranslatableTexts*>(o)) {
        *keys = retainedKeys(o, "special", tt->texts());
        return true;
    }
    if (auto* t = qobject_cast<const QTabWidget*>(o)) {
        *keys = retainedKeys(o, "special", tabTexts(t));
        return true;
    }
    return false;
}

void setSpecialTexts(QObject* o, const QStringList& keys, const QStringList& texts)
{
    if (auto* tt = dynamic_cast<TranslatableTexts*>(o)) {
        tt->setTexts(texts);
        retainKeys(o, "special", keys, tt->texts());
    } else if (auto* t = qobject_cast<QTabWidget*>(o)) {
        for (int i = 0; i < t->count() && i < texts.size(); ++i)
            t->setTabText(i, displayText(texts[i]));
        retainKeys(o, "special", keys, tabTexts(t));
    }
}

bool excludedByTag(const QObject* o, const LangDesk& engine)
{
    if (engine.lTagExcludeLen() < 1)
        return false;
    const QString tag = o->property("tag").toString();
    return tag.left(engine.lTagExcludeLen()) == engine.sTagExclude();
}

bool isDesigned(const QObject* o)
{
    if (!qobject_cast<const QWidget*>(o) && !qobject_cast<const QAction*>(o))
        return false;
    const QString name = o->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// Widgets whose children are their own machinery (popups, editors, headers, scroll bars).
bool isCompound(const QObject* o)
{
    return qobject_cast<const QAbstractSpinBox*>(o) || qobject_cast<const QComboBox*>(o)
           || qobject_cast<const QCalendarWidget*>(o) || qobject_cast<const QAbstractItemView*>(o)
           || qobject_cast<const QTabBar*>(o)
           || dynamic_cast<const TranslatableTexts*>(o);
}

void collect(QObject* parent, QList<QObject*>& out)
{
    for (QObject* child : parent->children()) {
        // Another window (a dialog or popup owned by this one) has controls of its own; menus
        // are popups too but belong to the window.
        auto* w = qobject_cast<QWidget*>(child);
        if (w && w->isWindow() && !qobject_cast<QMenu*>(w))
            continue;
        if (isDesigned(child))
            out.append(child);
        if (!isCompound(child))
            collect(child, out);
    }
}

// The window itself, then its controls.
QList<QObject*> formObjects(QWidget* window)
{
    QList<QObject*> objects{window};
    objects += designedControls(window);
    return objects;
}

} // namespace

QList<QObject*> designedControls(QWidget* window)
{
    QList<QObject*> out;
    if (window)
        collect(window, out);
    return out;
}

QString GetPropertyValue(const QObject* object, const QString& name)
{
    if (!object)
        return {};
    const Prop p = propFromName(name);
    const std::optional<QString> raw = readRaw(object, p);
    if (!raw)
        return {};
    const QVariant shown = object->property(shownProperty(p));
    if (shown.isValid() && shown.toString() == *raw)
        return object->property(keyProperty(p)).toString();
    return *raw;
}

bool SetPropertyValue(QObject* object, const QString& name, const QString& text, const QString& key)
{
    if (!object)
        return false;
    const Prop p = propFromName(name);
    if (!writeRaw(object, p, displayText(text)))
        return false;
    object->setProperty(keyProperty(p), key);
    object->setProperty(shownProperty(p), readRaw(object, p).value_or(QString()));
    return true;
}

void TranslateObject(QObject* object, LangDesk& engine)
{
    if (!object || excludedByTag(object, engine))
        return;
    for (const QString& name : engine.colProperties()) {
        const QString key = GetPropertyValue(object, name);
        if (!key.isEmpty())
            SetPropertyValue(object, name, engine.GetTranslation(key), key);
    }
}

namespace {
const char* const kAccessibleParts = "nbxAccessibleParts";

QList<QWidget*> withAccessibleParts(QWidget* window)
{
    QList<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->property(kAccessibleParts).isValid())
            out << w;
    return out;
}
} // namespace

void setAccessibleParts(QWidget* widget, const QStringList& nativeParts)
{
    widget->setProperty(kAccessibleParts, nativeParts);
    widget->setAccessibleName(nativeParts.join(QLatin1Char(' ')));
}

void TranslateForm(QWidget* window)
{
    TranslateForm(window, langDesk());
}

void TranslateForm(QWidget* window, LangDesk& engine)
{
    if (!window || !engine.translatesWindows())
        return;
    for (QObject* o : formObjects(window)) {
        QStringList keys;
        if (specialKeys(o, &keys)) {
            QStringList texts;
            for (const QString& k : keys)
                texts << engine.GetTranslation(k);
            setSpecialTexts(o, keys, texts);
        } else {
            TranslateObject(o, engine);
        }
    }
    for (QWidget* w : withAccessibleParts(window)) {
        QStringList texts;
        for (const QString& part : w->property(kAccessibleParts).toStringList())
            texts << engine.GetTranslation(part);
        w->setAccessibleName(texts.join(QLatin1Char(' ')));
    }
}

void ExportObjectStrings(QObject* object, LangDesk& engine)
{
    if (!object || excludedByTag(object, engine))
        return;
    const auto* action = qobject_cast<const QAction*>(object);
    if (action && action->isSeparator())
        return;
    for (const QString& name : engine.colProperties()) {
        const QString key = GetPropertyValue(object, name);
        if (key.isEmpty() || (action && key == QLatin1String("-")))
            continue;
        engine.ExportOneString(key);
    }
}

void ExportFormStrings(QWidget* window, LangDesk& engine)
{
    if (!window)
        return;
    for (QObject* o : formObjects(window)) {
        QStringList keys;
        if (specialKeys(o, &keys)) {
            for (const QString& k : keys)
                engine.ExportOneString(k);
        } else {
            ExportObjectStrings(o, engine);
        }
    }
    for (QWidget* w : withAccessibleParts(window))
        for (const QString& part : w->property(kAccessibleParts).toStringList())
            engine.ExportOneString(part);
}

} // namespace nbx
