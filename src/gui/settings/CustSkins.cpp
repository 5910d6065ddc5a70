// The Skins page of the settings dialog: the packages of the skins folders, switching skins on and
// off, and choosing one, which every open window takes at once.

#include "settings/CustUnit.h"

#include <QPointer>

#include "Error.h"
#include "server/TransportUi.h"
#include "settings/Captions.h"
#include "settings/IniFile.h"
#include "settings/Localization.h"
#include "settings/Paths.h"
#include "skins/BitCheckBox.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"
#include "skins/Skins.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace parlomar {

namespace {

std::string ReadInformation(const std::string& skin) {
    try {
        return ReadSkinFile("skin.nfo", skin);
    } catch (const Error&) {
        return {}; // a damaged package shows no information
    }
}

// The names of the packages of every skins folder (the user's own and the shipped ones), each name
// once, sorted. The first folder, the one the user may fill, is created when missing.
std::vector<std::string> InstalledSkins() {
    std::vector<std::string> names;
    const auto folders = SkinFolders();
    std::error_code error;
    std::filesystem::create_directories(folders.front(), error);
    for (const auto& folder : folders) {
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string file = entry.path().filename().string();
            if (file.size() > 4 && file.compare(file.size() - 4, 4, ".zip") == 0 && IsPackageName(file))
                names.push_back(file.substr(0, file.size() - 4));
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace

void TCustForm::BuildSkinsPage() {
    constexpr int kWidth = 365;
    SkinsPanel = Named(new TPanel(this), "SkinsPanel", kSkinsPage);
    SkinsPanel->setGeometry(CustListBox->geometry().right() + 9, CustListBox->y(), kWidth + 24,
                            CustListBox->height());
    SkinsLabel = Named(new TLabel(QStringLiteral("Skins"), SkinsPanel), "SkinsLabel", kTagLargeBold);
    SetParentFont(SkinsLabel, false);
    SkinsLabel->setGeometry(8, 4, 300, 24);
    EnableSkinsCheck =
        Named(new TBitCheckBox(QStringLiteral("Enable skins"), SkinsPanel), "EnableSkinsCheck");
    EnableSkinsCheck->setGeometry(12, 38, kWidth, 20);
    InstalledSkinsLabel =
        Named(new TLabel(QStringLiteral("Inslalled skins"), SkinsPanel), "InstalledSkinsLabel");
    InstalledSkinsLabel->setGeometry(12, 68, kWidth, 18);
    SkinsCombo = Named(new TListBox(SkinsPanel), "SkinsCombo", -10);
    SkinsCombo->setGeometry(12, 88, kWidth, 112);
    CurSkinInfoLabel =
        Named(new TLabel(QStringLiteral("Current skin information"), SkinsPanel), "CurSkinInfoLabel");
    CurSkinInfoLabel->setGeometry(12, 210, kWidth, 18);
    SkinInfoMemo = Named(new TMemo(SkinsPanel), "SkinInfoMemo");
    SkinInfoMemo->setReadOnly(true);
    SkinInfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SkinInfoMemo->setGeometry(12, 230, kWidth, 100);
    connect(EnableSkinsCheck, &QCheckBox::clicked, this, &TCustForm::EnableSkinsCheckClick);
    connect(SkinsCombo, &QListWidget::itemClicked, this, &TCustForm::SkinsComboClick);
    connect(SkinsCombo, &QListWidget::itemActivated, this, &TCustForm::SkinsComboClick);
}

void TCustForm::FillSkinsList() {
    const QSignalBlocker quiet(SkinsCombo);
    SkinsCombo->clear();
    for (const std::string& name : InstalledSkins()) {
        auto* item = new QListWidgetItem(Q(SkinListTitle(name)), SkinsCombo);
        item->setData(Qt::UserRole, Q(name));
        if (name == CurrentSkin)
            SkinsCombo->setCurrentItem(item);
    }
    EnableSkinsCheck->SetChecked(SkinActive());
    SkinsCombo->setEnabled(SkinActive());
    SkinInfoMemo->setPlainText(Q(ReadInformation(CurrentSkin)));
}

void TCustForm::ApplyDialogSkin() {
    ApplySkin(this, QStringLiteral("CustForm"), CheckBoxImages());
    RestyleViewBoxes();
    SetSkinFrame(SkinActive());
    ProxyCheckClick();
}

namespace {
// A change of look may give the windows another frame (and so new native windows): the dialog stays
// the active window and the control the operator used keeps the focus.
class KeepFocus {
public:
    explicit KeepFocus(QWidget* window) : window_(window), focus_(window->focusWidget()) {}
    ~KeepFocus() {
        if (!window_ || !window_->isVisible())
            return;
        window_->activateWindow();
        if (focus_ && focus_->isVisible() && focus_->isEnabled())
            focus_->setFocus(Qt::OtherFocusReason);
    }
    KeepFocus(const KeepFocus&) = delete;
    KeepFocus& operator=(const KeepFocus&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
};
} // namespace

void TCustForm::SkinsComboClick() {
    const KeepFocus keep(this);
    QListWidgetItem* item = SkinsCombo->currentItem();
    if (!item || !EnableSkinsCheck->Checked())
        return;
    const std::string name = S(item->data(Qt::UserRole).toString());
    // A package that cannot be used is not taken; the look stays as it is.
    if (const SkinPackageState state = CheckSkinPackage(name); state != SkinPackageState::Usable) {
        ShowMessageText(StatusText(SkinRefusalStatusText(state)) + " " + name);
        FillSkinsList();
        return;
    }
    ChooseSkin(name);
    SkinInfoMemo->setPlainText(Q(ReadInformation(name)));
    try {
        WriteIniValue("SKINS", "CURRENT", name, kSettingsTarget);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
    if (Calls.skinChanged)
        Calls.skinChanged();
    ApplyDialogSkin();
}

void TCustForm::EnableSkinsCheckClick() {
    const KeepFocus keep(this);
    const bool on = EnableSkinsCheck->Checked();
    SkinsCombo->setEnabled(on);
    if (on) {
        if (SkinsCombo->count() > 0) {
            SkinsCombo->setCurrentRow(0);
            SkinsComboClick();
        }
        return;
    }
    ChooseSkin(std::string(NoSkin));
    SkinsCombo->setCurrentItem(nullptr);
    SkinInfoMemo->clear();
    try {
        WriteIniValue("SKINS", "CURRENT", NoSkin, kSettingsTarget);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
    ApplyDialogSkin();
    if (Calls.skinChanged)
        Calls.skinChanged();
}

} // namespace parlomar
