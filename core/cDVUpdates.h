// Client of the maker's web service: update check and error reports, SOAP 1.1 over libcurl,
// with the HTTP form as the error report's fallback.
#pragma once

#include <string>

// The small progress window of the update check (frmWait); the main window hands one in.
class UpdateWaitWindow {
public:
    virtual ~UpdateWaitWindow() = default;
    virtual void StartDownload(const std::string& message) = 0;
    virtual void ChangeMessage(const std::string& message) = 0;
    virtual void StopDownload() = 0;
    // The user asked to stop waiting (read while the call runs beside the window).
    virtual bool CancelRequested() const { return false; }
};

class cDVUpdates {
public:
    // baseUrl: scheme and host of the maker's web service, without a trailing '/'.
    explicit cDVUpdates(std::string baseUrl = DefaultServiceUrl);

    // True when the SOAP client can be used (libcurl initialised).
    bool SOAPINSTALLED = false;
    bool CheckSOAP() const;

    // Asks the service for a newer build. True when the check ran and an update was offered.
    // When the user accepts the download, the address is opened (http and https only) and
    // closeRequested is set: the caller unloads the main window.
    bool CheckApplicationUpdates(UpdateWaitWindow* wait = nullptr);
    bool closeRequested = false;

    // Sends one error report: through SOAP's SendErrorMail when available, otherwise posted to
    // SendMail.aspx (From, Subject, ErrorMessage in the query, each percent-encoded, line breaks
    // as %0D; True when the answer contains "success" in any case). False when the call fails.
    bool SendErrorReport(const std::string& sFrom, const std::string& sSubject, const std::string& sErrorMessage);

    // The address the form post goes to.
    std::string FormAddress(const std::string& sFrom, const std::string& sSubject,
                            const std::string& sErrorMessage) const;
    // The DALVINFO request text of the update check ("" when dvreport.xml cannot be read).
    std::string UpdateRequest() const;

    static constexpr const char* DefaultServiceUrl = "https://www.torvik.example";
    static constexpr const char* SoapNamespace = "http://www.torvik.example/DV45LiveUpdates/";
    int timeoutSeconds = 30;

private:
    std::string baseUrl_;
    UpdateWaitWindow* waiting_ = nullptr;  // of the running update check
    std::string updateUrl_;
    // One SOAP 1.1 call; the text of the operation's result element on success (HTTP 200, no
    // fault, a parsable envelope). False on any failure.
    bool soapCall(const std::string& operation, const std::string& bodyXml, std::string& result);
    std::string host() const;
};
