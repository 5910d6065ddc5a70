#pragma once

#include "core/accounts/EditorQuery.h"
#include "core/server/ServerSession.h"
#include "gui/skins/SkinnedForm.h"

#include <QHash>
#include <QPixmap>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QKeyEvent;
class QLineEdit;

namespace parlomar {

class TBitCheckBox;
class TButtonEdit;
class TComboBox;
class TImage;
class TLabel;
class TPanel;
class TSkinButton;

// The link colours of clickable labels and cells.
inline const QColor kLinkColor(0x5D, 0x96, 0xB0);
inline const QColor kLinkHoverColor(0x7A, 0xB3, 0xCD);

// Small pictures drawn for the plain look: the open and closed section toggles, the "unlimited"
// button of an edit.
QPixmap SectionToggleImage(bool open);
QPixmap UnlimitedButtonImage(int height, bool over);

// The modal account and package editor ("AddForm"). The opener sets EditorKind, PackageAction, the
// package list text and, for an edit, the package name before showing it, and reads ResultQuery()
// after it closed. Every input control carries the query parameter it feeds; the window mirrors the
// controls into a TEditorModel for filling, building the query and OK.
class TAddForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TAddForm(QWidget* owner = nullptr);
    ~TAddForm() override;

    int EditorKind = kAccountEditor;
    int PackageAction = kNoPackageAction;
    std::string PackageListText; // the last listpkgs reply
    std::string PackageName;     // edit: the package of the selected row
    SessionPtr Session;          // the sign-in session OK sends in (none: nothing is sent)
    bool ReadOnly = false;       // signed in to a read-only server: OK is disabled

    // The query of the last request OK sent; empty at creation and after Cancel.
    std::string ResultQuery() const;
    // The last OK got a signed-out reply: the window closed and the opener returns to sign-in.
    bool SignedOut() const { return signedOut_; }

    // The control of a field by its name (an edit, the plan combo box or a check box), or nullptr.
    QWidget* Control(const QString& name) const { return controls_.value(name); }
    TButtonEdit* Edit(const QString& name) const;
    TBitCheckBox* Check(const QString& name) const;

    TPanel *AddPackagePanel, *AddAccountPanel;
    TPanel *GeneralHeaderPanel, *GeneralPanel, *AdditionalHeaderPanel, *AdditionalPanel;
    TImage *GeneralScrollImage, *AdditionalScrollImage;
    TLabel *GeneralLabel, *AdditionalLabel;
    TPanel *DomainResPanel, *OtherOptionsPanel, *CustomIPPanel;
    TImage *DomainResImage, *OtherOptionsImage, *CustomIPImage, *GenerateImage;
    TLabel *DomainResLabel, *OtherOptionsLabel, *CustomIPLabel;
    TLabel* GenPasswordLabel;
    // Below the domain: the ASCII form an internationalised domain is sent in, or why it has none.
    TLabel* DomainAsciiLabel;
    TComboBox* PlanEdit;
    TPanel* OkCancelPanel;
    TSkinButton *OKButton, *CancelButton;
    TImage* FooterImage;

    void FormShow();
    void OKButtonClick();
    void CancelButtonClick();
    void GenPasswordLabelClick();
    void GeneralScrollImageClick();
    void AdditionalScrollImageClick();
    void PlanEditSelect();
    // The "unlimited" button of an edit.
    void UnlimitedClick(TButtonEdit* edit);
    // The "unlimited" buttons of the two disk quota edits (the package's and the account's).
    void QuotaEditClickButton();
    void Quota1ditClickButton();
    // The custom IP and the save-as-package boxes show their edit while ticked.
    void IP1heckClick();
    void SavepkgCheckClick();
    // While OK's request runs, OK and Cancel are disabled and the window cannot be cancelled.
    bool RequestRunning() const { return requestRunning_; }
    void reject() override;

    // The package panel's and the account panel's heights; the window's client height is the shown
    // panel's + the footer (14) + the OK/Cancel strip (51).
    static constexpr int kPackagePanelHeight = 278;
    static constexpr int kAccountPanelHeight = 545;
    static constexpr int kWindowWidth = 470;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildPackagePanel();
    void BuildAccountPanel();
    QWidget* MakeControl(const EditorField& field, QWidget* parent, int group);
    void ToModel();
    void FromModel();
    void ShowOnDemandEdit(const QString& checkName);
    void ShowDomainAsciiForm();
    // OK's reply, on the GUI thread.
    void OkDone(const HttpReply& reply);

    std::unique_ptr<TEditorModel> model_;
    QHash<QString, QWidget*> controls_; // of both groups, by control name
    QHash<QObject*, EditorKeyFilter> filters_;
    bool signedOut_ = false;
    bool shown_ = false;
    bool requestRunning_ = false;
};

} // namespace parlomar
