#include "core/accounts/KeyFilters.h"

namespace parlomar {

namespace {

constexpr int kCtrlA = 1;
constexpr int kBackspace = 8;

bool InRange(int key, char first, char last) {
    return key >= first && key <= last;
}

bool IsDigitKey(int key) {
    return InRange(key, '0', '9');
}

// Ctrl+A selects all; then the key passes when it is an editing key or allowed(key).
template <typename Allowed>
KeyFilterResult Filter(int key, Allowed allowed) {
    KeyFilterResult r;
    r.key = key;
    r.selectAll = key == kCtrlA;
    r.accept = key >= 0 && key < 128 && (IsEditingKey(key) || allowed(key));
    return r;
}

} // namespace

bool IsEditingKey(int key) {
    return key == kCtrlA || key == 3 || key == kBackspace || key == 22 || key == 26;
}

KeyFilterResult IPEditKeyPress(int key) {
    if (key == ',') {
        key = '.';
    }
    return Filter(key, [](int k) { return k == '.' || IsDigitKey(k) || InRange(k, 'A', 'z'); });
}

KeyFilterResult PortEditKeyPress(int key) {
    return Filter(key, IsDigitKey);
}

KeyFilterResult LoginEditKeyPress(int key) {
    return {true, key, key == kCtrlA};
}

KeyFilterResult ProxyPortEditKeyPress(int key) {
    return PortEditKeyPress(key);
}

KeyFilterResult ProxyAdrEditKeyPress(int key) {
    return IPEditKeyPress(key);
}

KeyFilterResult ProxyUserEditKeyPress(int key) {
    return LoginEditKeyPress(key);
}

KeyFilterResult NameEditKeyPress(int key) {
    return Filter(key, [](int k) { return IsDigitKey(k) || InRange(k, 'A', 'z'); });
}

KeyFilterResult QuotaEditKeyPress(int key) {
    return Filter(key, IsDigitKey);
}

KeyFilterResult CustomipEditKeyPress(int key) {
    return Filter(key, [](int k) { return k == '.' || IsDigitKey(k); });
}

KeyFilterResult DomainEditKeyPress(int key, std::string_view currentText) {
    if (key == ',') {
        key = '.';
    }
    const bool leadingHyphen = key == '-' && currentText.empty();
    return Filter(key, [&](int k) {
        return !leadingHyphen && (k == '-' || k == '.' || IsDigitKey(k) || InRange(k, 'A', 'z'));
    });
}

KeyFilterResult ContactemailEditKeyPress(int key) {
    return Filter(key, [](int k) { return InRange(k, '-', '9') || InRange(k, '@', 'z'); });
}

KeyFilterResult BandWidthEditKeyPress(int key, int digitsOnly) {
    const bool accept = digitsOnly <= 0 || IsDigitKey(key) || key == kBackspace;
    return {accept, key, false};
}

} // namespace parlomar
