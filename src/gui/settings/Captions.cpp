#include "settings/Captions.h"

#include "settings/IniFile.h"
#include "settings/Localization.h"
#include "skins/BitCheckBox.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"
#include "skins/SkinnedForm.h"
#include "skins/Skins.h"

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

void SetCaption(QObject* component, const QString& text) {
    if (auto* action = qobject_cast<QAction*>(component))
        action->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(component))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(component))
        label->setText(text);
}

} // namespace

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) {
    return text.toStdString();
}

QString CaptionOf(const QObject* component) {
    if (auto* action = qobject_cast<const QAction*>(component))
        return action->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(component))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(component))
        return label->text();
    return {};
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
