#pragma once

// libcurl's handles owned by small types: freed when they go, on every path out.

#include <curl/curl.h>

#include <memory>

namespace parlomar {

struct CurlEasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlSlistCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// An easy handle of its own (not borrowed from a session's pool).
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;
// A header list; CurlAppend adds a line and keeps the list when the append fails.
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistCleanup>;

inline CurlEasy MakeCurlEasy() {
    return CurlEasy(curl_easy_init());
}

inline void CurlAppend(CurlSlist& list, const char* line) {
    curl_slist* longer = curl_slist_append(list.get(), line);
    if (!longer)
        return;
    (void)list.release(); // the same list, one line longer (or its first line)
    list.reset(longer);
}

} // namespace parlomar
