// The Skins page of the settings dialog: the packages of the skins folders, switching skins on and
// off, and choosing one, which every open window takes at once.

#include "gui/settings/CustUnit.h"

#include <QPointer>

#include "core/Error.h"
#include "core/server/TransportUi.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "gui/settings/Captions.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/Skins.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace parlomar {

namespace {

constexpr int kRefusalRole = Qt::UserRole + 1;

std::string ReadInformation(const std::string& skin) {
    try {
        return ReadSkinFile("skin.nfo", skin);
    } catch (const Error&) {
        return {}; // a damaged package shows no information
    }
}

// Draws the rows of the list of skins through the dialog's SkinsComboDrawItem.
class SkinsListDelegate : public QStyledItemDelegate {
public:
    SkinsListDelegate(const TCustForm* form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        form_->SkinsComboDrawItem(painter, option, index);
        painter->restore();
    }

private:
    const TCustForm* form_;
};

// Space on the list of skins chooses the current item, as a click does.
class SpaceChooses : public QObject {
public:
    SpaceChooses(QObject* parent, std::function<void()> choose)
        : QObject(parent), choose_(std::move(choose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
                choose_();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> choose_;
};

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
    // The arrow keys move the choice itself: the look follows the current item. (The list's filling
    // and the switch change the current item with the list's signals blocked.)
    connect(SkinsCombo, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            SkinsComboClick();
    });
    SkinsCombo->installEventFilter(new SpaceChooses(SkinsCombo, [this] { SkinsComboClick(); }));
    SkinsCombo->setItemDelegate(new SkinsListDelegate(this, SkinsCombo));
}

void TCustForm::SkinsComboDrawItem(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    // A selected or focused row in the highlight colours, others in the list's own; a package that
    // cannot be used in its dimmed colour. The text starts at the row's top-left corner.
    const QPalette palette = SkinsCombo->palette();
    const bool marked = (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) != 0;
    painter->fillRect(option.rect, palette.color(marked ? QPalette::Highlight : QPalette::Base));
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter->setPen(marked                 ? palette.color(QPalette::HighlightedText)
                    : foreground.isValid() ? foreground.value<QBrush>().color()
                                           : palette.color(QPalette::Text));
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideRight, option.rect.width()));
}

void TCustForm::FillSkinsList() {
    const QSignalBlocker quiet(SkinsCombo);
    SkinsCombo->clear();
    for (const std::string& name : InstalledSkins()) {
        // A package that cannot be used stays listed, with the reason it is not used.
        const int refusal = SkinRefusalStatusText(CheckSkinPackage(name));
        auto* item = new QListWidgetItem(SkinsCombo);
        item->setData(Qt::UserRole, Q(name));
        item->setData(kRefusalRole, refusal);
        if (refusal != 0) {
            item->setText(Q(StatusText(refusal) + " " + name));
            item->setForeground(SkinsCombo->palette().color(QPalette::Disabled, QPalette::Text));
        } else {
            item->setText(SkinInformationTitle(name));
        }
        if (name == CurrentSkin)
            SkinsCombo->setCurrentItem(item);
    }
    EnableSkinsCheck->SetChecked(SkinActive());
    SkinsCombo->setEnabled(SkinActive());
    SkinInfoMemo->setPlainText(SkinInformationText(ReadInformation(CurrentSkin)));
}

void TCustForm::ApplyDialogSkin() {
    ApplySkin(this, QStringLiteral("CustForm"), CheckBoxImages());
    RestyleViewBoxes();
    FitViewPage();
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
    if (SkinActive() && name == CurrentSkin)
        return; // the skin in use already (a click after the press that chose it)
    // A package that cannot be used is not taken: the look stays as it is, the information box says
    // why (the list says so too).
    if (const SkinPackageState state = CheckSkinPackage(name); state != SkinPackageState::Usable) {
        item->setData(kRefusalRole, SkinRefusalStatusText(state));
        SkinInfoMemo->setPlainText(Q(StatusText(SkinRefusalStatusText(state)) + " " + name));
        return;
    }
    ChooseSkin(name);
    SkinInfoMemo->setPlainText(SkinInformationText(ReadInformation(name)));
    try {
        WriteIniValue("SKINS", "CURRENT", name, kSettingsTarget);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
    if (Calls.skinChanged)
        Calls.skinChanged();
    ApplyDialogSkin();
}

QListWidgetItem* TCustForm::FirstUsableSkin() const {
    // The skin the settings name, when it is listed and usable; else the first usable one.
    const QString stored = Q(ReadIniValue("SKINS", "Current", kSettingsTarget));
    QListWidgetItem* first = nullptr;
    for (int row = 0; row < SkinsCombo->count(); ++row) {
        QListWidgetItem* item = SkinsCombo->item(row);
        if (item->data(kRefusalRole).toInt() != 0)
            continue;
        if (item->data(Qt::UserRole).toString() == stored)
            return item;
        if (!first)
            first = item;
    }
    return first;
}

void TCustForm::EnableSkinsCheckClick() {
    const KeepFocus keep(this);
    const bool on = EnableSkinsCheck->Checked();
    SkinsCombo->setEnabled(on);
    if (on) {
        QListWidgetItem* item = FirstUsableSkin();
        if (!item) {
            // Nothing to switch to: skins stay off, and the first package says why.
            EnableSkinsCheck->SetChecked(false);
            SkinsCombo->setEnabled(false);
            if (SkinsCombo->count() > 0)
                SkinInfoMemo->setPlainText(SkinsCombo->item(0)->text());
            return;
        }
        {
            const QSignalBlocker quiet(SkinsCombo);
            SkinsCombo->setCurrentItem(item);
        }
        SkinsComboClick();
        return;
    }
    ChooseSkin(std::string(NoSkin));
    {
        const QSignalBlocker quiet(SkinsCombo);
        SkinsCombo->setCurrentItem(nullptr);
    }
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
