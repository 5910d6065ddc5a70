#include "core/accounts/EditorQuery.h"

#include "core/Text.h"
#include "core/accounts/PasswordGenerator.h"
#include "core/server/TransportUi.h"
#include "core/server/XMLParser.h"
#include "core/settings/Localization.h"

#include <algorithm>
#include <array>

namespace parlomar {

namespace {

using C = EditorControl;
using F = EditorKeyFilter;
using S = EditorSection;

// Package fields, in window order.
constexpr std::array kPackageFields{
    EditorField{"NameEdit", "Name of package", "name", C::Edit, 30, F::Name, false, S::Package, {}},
    EditorField{"featurelistEdit",
                "Name of the feature list",
                "featurelist",
                C::Edit,
                30,
                F::None,
                false,
                S::Package,
                {}},
    EditorField{"QuotaEdit", "Disk space quota,MB", "quota", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"CpmodEdit", "cpmod ", "cpmod", C::Edit, 30, F::Name, false, S::Package, {}},
    EditorField{
        "LanguageEdit", "Name of the language", "language", C::Edit, 15, F::None, false, S::Package, {}},
    EditorField{"MaxFTPEdit", "maxftp", "maxftp", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"MaxSQLEdit", "maxsql ", "maxsql", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"MaxPopEdit", "maxpop", "maxpop", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"MaxListsEdit", "maxlists", "maxlists", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"MaxSubEdit", "maxsub", "maxsub", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"MaxParkEdit", "maxpark", "maxpark", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"MaxAddonEdit", "maxaddon", "maxaddon", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{"BwLimitEdit", "Allowed bandwidth", "bwlimit", C::Edit, 20, F::Quota, true, S::Package, {}},
    EditorField{
        "hasshellCheck", "account has shell access", "hasshell", C::Check, 0, F::None, false, S::Package, {}},
    EditorField{"IPCheck", "dedicated IP", "ip", C::Check, 0, F::None, false, S::Package, {}},
    EditorField{"CGICheck", "CGI", "cgi", C::Check, 0, F::None, false, S::Package, {}},
    EditorField{"FrontPageCheck", "frontpage", "frontpage", C::Check, 0, F::None, false, S::Package, {}},
};

// Account fields, in window order: the Additional section's controls, then the General section's.
constexpr std::array kAccountFields{
    EditorField{
        "Featurelist1dit", "Featurelist", "featurelist", C::Edit, 30, F::Name, false, S::DomainResources, {}},
    EditorField{
        "Quota1dit", "Disk space quota,MB", "quota", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"Maxsql1dit", "Maxsql", "maxsql", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"Maxpop1dit", "Maxpop", "maxpop", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"Maxpark1dit", "Maxpark", "maxpark", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"maxftp1dit", "Maxftp", "maxftp", C::Edit, 20, F::None, true, S::DomainResources, {}},
    EditorField{"Language1dit", "Language", "language", C::Edit, 30, F::Name, false, S::DomainResources, {}},
    EditorField{
        "Bwlimit1dit", "Alowed bandwith", "bwlimit", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"Maxsub1dit", "Maxsub", "maxsub", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"Maxaddon1dit", "Maxaddon", "maxaddon", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"Cpmod1dit", "Cpmod", "cpmod", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"MaxlstEdit", "Maxlst", "maxlst", C::Edit, 20, F::Quota, true, S::DomainResources, {}},
    EditorField{"PkgNameEdit", "", "pkgname", C::Edit, 30, F::Name, false, S::CustomIpAndPackage,
                "SavepkgCheck"},
    EditorField{"CustomipEdit", "", "customip", C::Edit, 16, F::Customip, false, S::CustomIpAndPackage,
                "IP1heck"},
    EditorField{
        "HasuseregnsCheck", "Hasuseregns", "hasuseregns", C::Check, 0, F::None, false, S::OtherOptions, {}},
    EditorField{"UseregnsCheck", "useregns", "useregns", C::Check, 0, F::None, false, S::OtherOptions, {}},
    EditorField{"ResellerCheck", "Reseller", "reseller", C::Check, 0, F::None, false, S::OtherOptions, {}},
    EditorField{"CGI1heck", "CGI", "cgi", C::Check, 0, F::None, false, S::OtherOptions, {}},
    EditorField{"FrontPage1heck", "frontpage", "frontpage", C::Check, 0, F::None, false, S::OtherOptions, {}},
    EditorField{
        "hasshell1heck", "shell access", "hasshell", C::Check, 0, F::None, false, S::OtherOptions, {}},
    EditorField{"IP1heck", "Set custom IP", "ip", C::Check, 0, F::None, false, S::CustomIpAndPackage, {}},
    EditorField{"SavepkgCheck",
                "Save it as a package",
                "savepkg",
                C::Check,
                0,
                F::None,
                false,
                S::CustomIpAndPackage,
                {}},
    EditorField{"DomainEdit", "Domain name", "domain", C::Edit, 30, F::Domain, false, S::General, {}},
    EditorField{"ContactemailEdit",
                "Contact e-mail",
                "contactemail",
                C::Edit,
                30,
                F::Contactemail,
                false,
                S::General,
                {}},
    EditorField{"UsernameEdit", "User name", "username", C::Edit, 15, F::Name, false, S::General, {}},
    EditorField{"PasswordEdit", "Password", "password", C::Edit, 30, F::None, false, S::General, {}},
    EditorField{"PlanEdit", "Plan", "plan", C::Combo, 0, F::Name, false, S::General, {}},
};

// Splits a text at CR (the joiner of XmlExtract mode 3).
std::vector<std::string> SplitAtCr(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t cr = text.find('\r', start);
        if (cr == std::string_view::npos) {
            cr = text.size();
        }
        parts.emplace_back(text.substr(start, cr - start));
        start = cr + 1;
    }
    return parts;
}

const std::string kEmpty;

} // namespace

std::string_view PackageReplyTag(std::string_view parameter) {
    if (parameter == "language") {
        return "LANG";
    }
    if (parameter == "maxlists") {
        return "MAXLST";
    }
    return {};
}

std::span<const EditorField> EditorFields(int editorKind) {
    if (editorKind == kPackageEditor) {
        return kPackageFields;
    }
    if (editorKind == kAccountEditor) {
        return kAccountFields;
    }
    return {};
}

KeyFilterResult FilterEditorKey(EditorKeyFilter filter, int key, std::string_view currentText) {
    switch (filter) {
    case EditorKeyFilter::Name:
        return NameEditKeyPress(key);
    case EditorKeyFilter::Quota:
        return QuotaEditKeyPress(key);
    case EditorKeyFilter::Customip:
        return CustomipEditKeyPress(key);
    case EditorKeyFilter::Domain:
        if (key >= 0xA0)
            return KeyFilterResult{true, key, false};
        return DomainEditKeyPress(key, currentText);
    case EditorKeyFilter::Contactemail:
        return ContactemailEditKeyPress(key);
    case EditorKeyFilter::None:
        break;
    }
    return KeyFilterResult{true, key, false};
}

std::string_view EditorKeyRefusal(EditorKeyFilter filter) {
    switch (filter) {
    case EditorKeyFilter::Name:
        return "Only the letters A to Z and digits go into this field.";
    case EditorKeyFilter::Quota:
        return "Only digits go into this field (its button sets \"unlimited\").";
    case EditorKeyFilter::Customip:
        return "Only digits and \".\" go into an IP address.";
    case EditorKeyFilter::Domain:
        return "A domain name takes letters, digits, \"-\" and \".\", and does not begin with \"-\".";
    case EditorKeyFilter::Contactemail:
        return "A mail address takes only the letters A to Z, digits and - . / @ _";
    case EditorKeyFilter::None:
        break;
    }
    return {};
}

std::string SentDomainName(std::string_view typed) {
    return AsciiDomainName(typed);
}

std::vector<std::string> PlanListItems(std::string_view packageListText, std::string_view placeholder) {
    std::vector<std::string> names;
    if (!packageListText.empty()) {
        for (auto& name : SplitAtCr(XmlExtract(packageListText, "", "name", kXmlAllValues))) {
            if (!name.empty()) {
                names.push_back(std::move(name));
            }
        }
    }
    std::stable_sort(names.begin(), names.end(), LessIgnoringAsciiCase);
    names.insert(names.begin(), std::string(placeholder));
    return names;
}

TEditorModel::TEditorModel(int editorKind, int packageAction)
    : editorKind_(editorKind), packageAction_(packageAction), fields_(EditorFields(editorKind)),
      texts_(fields_.size()), checked_(fields_.size(), 0), maxLengths_(fields_.size()) {
    for (size_t i = 0; i < fields_.size(); ++i) {
        maxLengths_[i] = fields_[i].maxLength;
    }
}

int TEditorModel::Find(std::string_view control) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].control == control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const std::string& TEditorModel::Text(int field) const {
    return Valid(field) ? texts_[static_cast<size_t>(field)] : kEmpty;
}

void TEditorModel::SetText(int field, std::string text) {
    if (Valid(field)) {
        texts_[static_cast<size_t>(field)] = std::move(text);
    }
}

bool TEditorModel::Checked(int field) const {
    return Valid(field) && checked_[static_cast<size_t>(field)] != 0;
}

void TEditorModel::SetChecked(int field, bool checked) {
    if (Valid(field)) {
        checked_[static_cast<size_t>(field)] = checked ? 1 : 0;
    }
}

bool TEditorModel::Shown(int field) const {
    if (!Valid(field)) {
        return false;
    }
    const auto& f = fields_[static_cast<size_t>(field)];
    return f.shownBy.empty() || Checked(Find(f.shownBy));
}

int TEditorModel::MaxLength(int field) const {
    return Valid(field) ? maxLengths_[static_cast<size_t>(field)] : 0;
}

void TEditorModel::PressUnlimited(int field) {
    if (Valid(field) && fields_[static_cast<size_t>(field)].unlimitedButton) {
        maxLengths_[static_cast<size_t>(field)] = kUnlimitedMaxLength;
        texts_[static_cast<size_t>(field)] = std::string(kUnlimitedText);
    }
}

std::string TEditorModel::GenerateNewPassword() {
    std::string password = GeneratePassword(kGeneratedPasswordLength);
    SetText(Find("PasswordEdit"), password);
    return password;
}

void TEditorModel::FillFromPackage(std::string_view packageListText, std::string_view packageName) {
    std::string record;
    if (!packageName.empty()) {
        record = XmlFindElement(packageListText, "package", "name", packageName);
        if (record.empty()) {
            return; // no such package: every value is missing, nothing changes
        }
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
        const auto& f = fields_[i];
        if (f.kind == EditorControl::Combo) {
            continue;
        }
        if (packageName.empty()) {
            texts_[i].clear();
            checked_[i] = 0;
            continue;
        }
        std::string value = XmlExtract(record, "package", f.parameter, kXmlLastValue);
        if (const std::string_view tag = PackageReplyTag(f.parameter); value.empty() && !tag.empty()) {
            value = XmlExtract(record, "package", tag, kXmlLastValue);
        }
        if (value.empty()) {
            continue;
        }
        if (f.kind == EditorControl::Check) {
            checked_[i] = (LowerAscii(value) == "y" || value == "1") ? 1 : 0;
        } else {
            texts_[i] = std::move(value);
        }
    }
}

std::string TEditorModel::Function() const {
    if (packageAction_ == kEditPackage) {
        return "editpkg";
    }
    if (packageAction_ == kCreatePackage || editorKind_ == kPackageEditor) {
        return "addpkg";
    }
    return "createacct";
}

QueryFields TEditorModel::BuildQuery(std::string_view planPlaceholder) const {
    QueryFields query;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const auto& f = fields_[i];
        if (!Shown(static_cast<int>(i))) {
            continue;
        }
        std::string name = LowerAscii(f.parameter);
        if (f.kind == EditorControl::Check) {
            query.emplace_back(std::move(name), checked_[i] ? "1" : "0");
            continue;
        }
        if (texts_[i].empty()) {
            continue;
        }
        // The plan list's first item only says that no plan is chosen.
        if (f.kind == EditorControl::Combo && texts_[i] == planPlaceholder) {
            continue;
        }
        if (f.filter == EditorKeyFilter::Domain) {
            query.emplace_back(std::move(name), SentDomainName(texts_[i]));
            continue;
        }
        query.emplace_back(std::move(name), texts_[i]);
    }
    return query;
}

std::string TEditorModel::RequestUrl(std::string_view baseUrl, std::string_view planPlaceholder) const {
    const QueryFields query = BuildQuery(planPlaceholder);
    const std::string function = Function();
    if (function == "editpkg") {
        return EditPackageUrl(baseUrl, query);
    }
    if (function == "addpkg") {
        return AddPackageUrl(baseUrl, query);
    }
    return CreateAccountUrl(baseUrl, query);
}

std::string TEditorModel::OkRequestUrl(std::string_view baseUrl, std::string_view planPlaceholder) {
    if (editorKind_ == kAccountEditor && !IsDomainName(SentDomainName(Text(Find("DomainEdit"))))) {
        ShowMessageText(StatusText(57));
        return {};
    }
    std::string url = RequestUrl(baseUrl, planPlaceholder);
    const auto mark = url.find('?');
    resultQuery_ = mark == std::string::npos ? std::string() : url.substr(mark + 1);
    return url;
}

EditorOkResult TEditorModel::OkReply(const HttpReply& reply) const {
    EditorOkResult result;
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        result.signedOut = true;
        result.message = ErrorText(11);
    } else if (reply.status != kStatusOk) {
        result.message = ErrorText(reply.status);
    } else {
        const ApiResult api = ReadApiResult(reply.text);
        result.message = api.statusmsg;
        if (api.IsSuccess()) {
            result.outcome = EditorOkOutcome::Close;
        }
    }
    ShowMessageText(result.message);
    return result;
}

EditorOkResult TEditorModel::Ok(std::string_view baseUrl, std::string_view planPlaceholder,
                                const EditorRequestFunction& request) {
    const std::string url = OkRequestUrl(baseUrl, planPlaceholder);
    if (url.empty()) {
        EditorOkResult result;
        result.outcome = EditorOkOutcome::InvalidDomain;
        result.message = StatusText(57);
        return result;
    }
    return OkReply(request(url));
}

std::string EditorTitle(int editorKind, int packageAction, std::string_view currentTitle,
                        std::string_view packageName) {
    if (editorKind == kPackageEditor && packageAction == kEditPackage) {
        return std::string(packageName) + " " + StatusText(36);
    }
    if (editorKind == kPackageEditor) {
        return std::string(currentTitle) + " - " + StatusText(46);
    }
    return std::string(currentTitle) + " - " + StatusText(47);
}

} // namespace parlomar
