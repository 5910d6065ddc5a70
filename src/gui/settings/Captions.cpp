#include "gui/settings/Captions.h"

#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinnedForm.h"
#include "gui/skins/Skins.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>

#include <array>

namespace parlomar {

namespace {

constexpr std::array<const char*, 9> CaptionClasses = {"TButton",      "TSkinButton", "TToolButton",
                                                       "TLabel",       "TMenuItem",   "TCheckBox",
                                                       "TBitCheckBox", "TStaticText", "TListBox"};

QString ClassOf(const QObject* component) {
    return QString::fromLatin1(component->metaObject()->className()).section(QLatin1Char(':'), -1);
}

// The caption a component had before GiveMnemonics marked an access key in it.
constexpr const char* kPlainCaption = "PlainCaption";

QString CurrentText(const QObject* component) {
    if (auto* action = qobject_cast<const QAction*>(component))
        return action->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(component))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(component))
        return label->text();
    return {};
}

// The position after a marker "&" (a doubled "&&" is a plain ampersand), -1 for none.
qsizetype MnemonicAt(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return i + 1;
        ++i;
    }
    return -1;
}

void SetCaption(QObject* component, const QString& text) {
    component->setProperty(kPlainCaption, QVariant());
    if (auto* action = qobject_cast<QAction*>(component))
        action->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(component))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(component))
        label->setText(text);
}

} // namespace

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) {
    return text.toStdString();
}

QString CaptionOf(const QObject* component) {
    const QVariant plain = component->property(kPlainCaption);
    return plain.isValid() ? plain.toString() : CurrentText(component);
}

void GiveMnemonics(const QList<QObject*>& group) {
    QString taken;
    for (const QObject* component : group) {
        const QString text = CurrentText(component);
        if (const qsizetype at = MnemonicAt(text); at >= 0)
            taken += text[at].toLower();
    }
    for (QObject* component : group) {
        const QString text = CurrentText(component);
        if (text.trimmed().isEmpty() || MnemonicAt(text) >= 0)
            continue;
        qsizetype chosen = -1;
        for (int pass = 0; pass < 2 && chosen < 0; ++pass) {
            for (qsizetype i = 0; i < text.size(); ++i) {
                const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
                if (text[i].isLetterOrNumber() && (pass == 1 || wordStart) &&
                    !taken.contains(text[i].toLower())) {
                    chosen = i;
                    break;
                }
            }
        }
        if (chosen < 0)
            continue;
        taken += text[chosen].toLower();
        QString marked = text;
        marked.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const qsizetype shift = text.left(chosen).count(QLatin1Char('&'));
        marked.insert(chosen + shift, QLatin1Char('&'));
        SetCaption(component, marked);
        component->setProperty(kPlainCaption, text);
    }
}

bool TakesCaption(const QObject* component) {
    if (TagOf(component) == kTagNoCaption)
        return false;
    const QString cls = ClassOf(component);
    for (const char* name : CaptionClasses)
        if (cls == QLatin1String(name))
            return true;
    return false;
}

void ApplyCaptions(TSkinnedForm* window) {
    window->setWindowTitle(Q(AppName + " " + VersionText));
    const std::string section = S(window->FormName());
    for (QObject* component : FormComponents(window)) {
        if (!TakesCaption(component))
            continue;
        const std::string name = S(component->objectName());
        if (auto* list = qobject_cast<TListBox*>(component)) {
            const int count = list->count();
            list->clear();
            for (int i = 0; i < count; ++i)
                list->addItem(Q(ReadIniValue(section, name + std::to_string(i), kLanguageTarget)));
            continue;
        }
        SetCaption(component, Q(ReadCaption(S(CaptionOf(component)), section, name)));
    }
}

void SaveCaptions(TSkinnedForm* window) {
    const std::string section = S(window->FormName());
    for (QObject* component : FormComponents(window)) {
        if (!TakesCaption(component))
            continue;
        const std::string name = S(component->objectName());
        if (auto* list = qobject_cast<TListBox*>(component)) {
            for (int i = 0; i < list->count(); ++i)
                WriteIniValue(section, name + std::to_string(i), CutChars(S(list->item(i)->text()), 255),
                              kLanguageTarget);
            continue;
        }
        WriteIniValue(section, name, CutChars(S(CaptionOf(component)), 255), kLanguageTarget);
    }
}

void CopyTextToClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

} // namespace parlomar
