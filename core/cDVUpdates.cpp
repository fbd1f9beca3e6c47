#include "core/cDVUpdates.h"

#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "core/cSystemInfo.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"
#include "platform/xml/Xml.h"

#include <curl/curl.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <functional>
#include <memory>

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

constexpr size_t kMaxAnswer = 1 << 20;

size_t collect(char* data, size_t size, size_t n, void* user) {
    auto* body = static_cast<std::string*>(user);
    if (body->size() + size * n > kMaxAnswer) return 0;  // ends the transfer: no answer is that long
    body->append(data, size * n);
    return size * n;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// Ends a transfer once stop (when given) says so.
int stopWhenAsked(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const std::function<bool()>*>(user);
    return *stop && (*stop)() ? 1 : 0;
}

// One POST; the status and body of the answer. False when nothing came back or stop said so.
// The window that waits for it stays alive meanwhile.
bool post(const std::string& url, const std::string& body, curl_slist* headers, int timeoutSeconds,
          long& status, std::string& answer, const std::function<bool()>& stop = {}) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return false;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(std::min(timeoutSeconds, 15)));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, stopWhenAsked);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stop);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    CURLcode rc = CURLE_OK;
    ui::runLettingEventsRun([&] { rc = curl_easy_perform(c); });
    status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    return rc == CURLE_OK;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Only web addresses are handed to the desktop.
bool isWebAddress(const std::string& url) {
    std::string l = lower(url);
    return l.rfind("http://", 0) == 0 || l.rfind("https://", 0) == 0;
}

void openAddress(const std::string& url) { ui::prompter().openExternally(url); }

// Closes the wait window on every way out.
class WaitGuard {
public:
    explicit WaitGuard(UpdateWaitWindow* w) : w_(w) {}
    ~WaitGuard() { stop(); }
    void stop() {
        if (w_) w_->StopDownload();
        w_ = nullptr;
    }
    void change(const std::string& m) {
        if (w_) w_->ChangeMessage(m);
    }

private:
    UpdateWaitWindow* w_;
};

const char* kNoUpdates = "Currently there is no updates available for Dalvane.\r\nPlease try after sometime.";

}  // namespace

cDVUpdates::cDVUpdates(std::string baseUrl) : baseUrl_(std::move(baseUrl)) {
    static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)curlReady;
    SOAPINSTALLED = CheckSOAP();
}

bool cDVUpdates::CheckSOAP() const {
    std::unique_ptr<CURL, CurlDeleter> probe(curl_easy_init());
    return probe != nullptr;
}

std::string cDVUpdates::host() const {
    std::string h = baseUrl_;
    size_t scheme = h.find("://");
    if (scheme != std::string::npos) h = h.substr(scheme + 3);
    return h.substr(0, h.find('/'));
}

std::string cDVUpdates::FormAddress(const std::string& sFrom, const std::string& sSubject,
                                    const std::string& sErrorMessage) const {
    return baseUrl_ + "/DV45LiveUpdates/SendMail.aspx?From=" + text::percentEncode(sFrom) +
           "&Subject=" + text::percentEncode(sSubject) +
           "&ErrorMessage=" + text::percentEncode(oneBreakKind(sErrorMessage));
}

bool cDVUpdates::soapCall(const std::string& operation, const std::string& bodyXml, std::string& result) {
    xml::Document env;
    if (!env.loadXML("<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body/></soap:Envelope>"))
        return false;
    xml::Document call;
    if (!call.loadXML(bodyXml)) return false;
    env.documentElement().firstChild().appendChild(call.documentElement());
    std::string request = env.xml();

    std::unique_ptr<curl_slist, SlistDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8"));
    std::string action = std::string("SOAPAction: \"") + SoapNamespace + operation + "\"";
    headers.reset(curl_slist_append(headers.release(), action.c_str()));

    long status = 0;
    std::string answer;
    const std::function<bool()> stop = [this] { return waiting_ && waiting_->CancelRequested(); };
    if (!post(baseUrl_ + "/DV45LiveUpdates/CheckUpdates.asmx", request, headers.get(), timeoutSeconds, status,
              answer, stop))
        return false;
    if (status != 200) return false;
    xml::Document reply;
    if (!reply.loadXML(answer)) return false;
    // Element names without their prefixes: servers choose their own.
    if (reply.count("//*[local-name()='Fault']") > 0) return false;
    xml::Node res = reply.selectSingleNode("//*[local-name()='Body']/*[local-name()=" +
                                           xml::xpathLiteral(operation + "Response") + "]/*[1]");
    if (!res) return false;
    result = res.text();
    return true;
}

std::string cDVUpdates::UpdateRequest() const {
    struct stat st {};
    std::string layout = files::joinPath(DataFolder, "dvreport.xml");
    if (DataFolder.empty() || ::stat(layout.c_str(), &st) != 0) return {};
    std::tm tm {};
    localtime_r(&st.st_mtime, &tm);

    xml::Document d;
    xml::Node root = d.createRoot("DALVINFO");
    xml::Node product = root.appendElement("PRODUCT");
    product.setAttribute("Name", VersionRecord.ProductTitle);
    product.setAttribute("Edition", VersionRecord.EditionCode);
    product.setAttribute("Version", std::to_string(AppMajorVersion) + "." + std::to_string(AppMinorVersion));
    product.setAttribute("BuildNumber", std::to_string(AppRevision));
    product.setAttribute("LastModifiedDay", std::to_string(tm.tm_mday));
    product.setAttribute("LastModifiedMonth", std::to_string(tm.tm_mon + 1));
    product.setAttribute("LastModifiedYear", std::to_string(tm.tm_year + 1900));
    xml::Node sys = root.appendElement("SYSINFO");
    xml::Node os = sys.appendElement("OPERATINGSYSTEM");
    cSystemInfo local;
    const cSystemInfo& info = oSystemInfo ? *oSystemInfo : local;
    os.setAttribute("Name", info.OperatingSystem());
    os.setAttribute("Version", info.getWindowsVersion());
    sys.appendElement("IE").setAttribute("Version", info.IEVersion());
    sys.appendElement("MDAC").setAttribute("Version", info.MDACVersion());
    xml::Node fw = sys.appendElement("FRAMEWORK");
    fw.setAttribute("Exists", info.DotNetVersion().empty() ? "False" : "True");
    fw.setAttribute("Version", info.DotNetVersion());
    return root.xml();
}

bool cDVUpdates::CheckApplicationUpdates(UpdateWaitWindow* wait) {
    closeRequested = false;
    if (!SOAPINSTALLED) {
        openAddress(baseUrl_ + "/products/dalvane45/updates/");
        return true;
    }
    std::string request = UpdateRequest();
    if (request.empty()) return false;
    if (ui::MsgBox(ApplicationTitle + " is about to check for the latest updates in " + host() + " site.\r\n"
                       "This process requires internet connection. If you have internet connection click OK "
                       "otherwise click Cancel",
                   ui::MsgButtons::OKCancel, ui::MsgIcon::Question, ApplicationTitle) != ui::MsgResult::OK)
        return false;
    if (wait) wait->StartDownload("Communicating with Dalvane Web Service...");
    WaitGuard guard(wait);
    guard.change("Checking for updates...");
    // The wait window's Cancel ends the call.
    struct Waiting {
        UpdateWaitWindow*& slot;
        ~Waiting() { slot = nullptr; }
    } waiting{waiting_ = wait};

    xml::Document call;
    xml::Node op = call.createRoot("CheckLatestPatch");
    op.setAttribute("xmlns", SoapNamespace);
    op.appendElement("sRequest").setText(request);
    std::string answer;
    if (!soapCall("CheckLatestPatch", op.xml(), answer)) {
        guard.stop();
        if (wait && wait->CancelRequested()) return false;  // the user's own choice: no message
        ui::MsgBox("Unable to communicate with Web Service, Please make sure you are connected to internet.",
                   ui::MsgButtons::OK, ui::MsgIcon::Information, ApplicationTitle);
        return false;
    }
    xml::Document info;
    if (!info.loadXML(answer)) {
        guard.stop();
        ui::MsgBox(kNoUpdates, ui::MsgButtons::OK, ui::MsgIcon::Information, ApplicationTitle);
        return false;
    }
    xml::Node url = info.selectSingleNode("NEWDVINFO/@URL");
    xml::Node version = info.selectSingleNode("NEWDVINFO/@Version");
    xml::Node revision = info.selectSingleNode("NEWDVINFO/@Revision");
    guard.stop();
    if (!url || !version || !revision) return false;
    updateUrl_ = url.text();
    if (updateUrl_.empty()) {
        ui::MsgBox(kNoUpdates, ui::MsgButtons::OK, ui::MsgIcon::Information, ApplicationTitle);
        return false;
    }
    if (!isWebAddress(updateUrl_)) {
        ui::MsgBox("The web service offered an update at an address that is not a web page:\r\n" + updateUrl_,
                   ui::MsgButtons::OK, ui::MsgIcon::Exclamation, ApplicationTitle);
        return false;
    }
    if (ui::MsgBox("Latest update for Dalvane - Version " + version.text() + " Build " + revision.text() +
                       " is available for download.\r\nDo you want to download & install it now?\r\n"
                       "Click 'Yes' will close the current instance of Dalvane.",
                   ui::MsgButtons::YesNo, ui::MsgIcon::Question, ApplicationTitle) == ui::MsgResult::Yes) {
        openAddress(updateUrl_);
        closeRequested = true;
    }
    return true;
}

bool cDVUpdates::SendErrorReport(const std::string& sFrom, const std::string& sSubject,
                                 const std::string& sErrorMessage) {
    if (SOAPINSTALLED) {
        xml::Document call;
        xml::Node op = call.createRoot("SendErrorMail");
        op.setAttribute("xmlns", SoapNamespace);
        op.appendElement("sFrom").setText(sFrom);
        op.appendElement("sSubject").setText(sSubject);
        op.appendElement("sErrorMessage").setText(sErrorMessage);
        std::string ignored;
        return soapCall("SendErrorMail", op.xml(), ignored);
    }
    long status = 0;
    std::string body;
    if (!post(FormAddress(sFrom, sSubject, sErrorMessage), "", nullptr, timeoutSeconds, status, body)) return false;
    if (status != 200) return false;
    return lower(body).find("success") != std::string::npos;
}
