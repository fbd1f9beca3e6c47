#include "core/cDVUpdates.h"
#include "platform/text/Text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

namespace {

// Every CR LF, lone CR and lone LF becomes one CR (sent as %0D).
std::string oneBreakKind(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\r';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else if (s[i] == '\n') {
            out += '\r';
        } else {
            out += s[i];
        }
    }
    return out;
}

size_t collect(char* data, size_t size, size_t n, void* user) {
    auto* body = static_cast<std::string*>(user);
    if (body->size() < 1 << 20) body->append(data, size * n);
    return size * n;
}

}  // namespace

cDVUpdates::cDVUpdates(std::string baseUrl) : baseUrl_(std::move(baseUrl)) {
    static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)curlReady;
}

std::string cDVUpdates::FormAddress(const std::string& sFrom, const std::string& sSubject,
                                    const std::string& sErrorMessage) const {
    return baseUrl_ + "/DV45LiveUpdates/SendMail.aspx?From=" + text::percentEncode(sFrom) +
           "&Subject=" + text::percentEncode(sSubject) +
           "&ErrorMessage=" + text::percentEncode(oneBreakKind(sErrorMessage));
}

bool cDVUpdates::SendErrorReport(const std::string& sFrom, const std::string& sSubject,
                                 const std::string& sErrorMessage) {
    CURL* curl = curl_easy_init();
    if (!curl) return false;
    std::string url = FormAddress(sFrom, sSubject, sErrorMessage);
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK || status >= 400) return false;
    std::transform(body.begin(), body.end(), body.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return body.find("success") != std::string::npos;
}
