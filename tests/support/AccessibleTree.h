// The accessible tree of a window as assistive technology walks it: which of
// its interactive controls carry no name.
#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

namespace testsupport {

// Roles a user acts on (or moves through), which a screen reader must name.
inline bool isInteractive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::EditableText:
    case QAccessible::PageTab:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::MenuBar:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonDropGrid:
    case QAccessible::Grip:
    case QAccessible::Link:
    case QAccessible::HotkeyField:
        return true;
    default:
        return false;
    }
}

// Every visible interactive node below `root` without a name, as
// "role class objectName" (the class and object name of the widget it
// stands for, where it has one).
inline QStringList unnamedControls(QAccessibleInterface* root)
{
    QStringList out;
    const std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node, int depth) {
        if (!node || depth > 64 || node->state().invisible)
            return;
        if (isInteractive(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
            const QObject* o = node->object();
            out << QStringLiteral("%1 %2 %3")
                       .arg(static_cast<int>(node->role()))
                       .arg(o ? QString::fromLatin1(o->metaObject()->className()) : QStringLiteral("-"))
                       .arg(o ? o->objectName() : QString());
        }
        // The rows of a long list are named by their text; a few tell.
        const int children = std::min(node->childCount(), 64);
        for (int i = 0; i < children; ++i)
            walk(node->child(i), depth + 1);
    };
    walk(root, 0);
    return out;
}

inline QStringList unnamedControls(QWidget* window)
{
    return unnamedControls(QAccessible::queryAccessibleInterface(window));
}

}  // namespace testsupport
