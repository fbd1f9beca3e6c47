// Client of the maker's web service: error reports posted as an HTTP form.
#pragma once

#include <string>

class cDVUpdates {
public:
    // baseUrl: scheme and host of the maker's web service, without a trailing '/'.
    explicit cDVUpdates(std::string baseUrl = DefaultServiceUrl);

    // No SOAP client exists here: reports always go through the HTTP form.
    bool SOAPINSTALLED = false;
    bool CheckSOAP() const { return false; }

    // Posts one error report to SendMail.aspx (From, Subject, ErrorMessage in the query, each
    // percent-encoded, line breaks as %0D). True when the answer contains "success" in any case;
    // false when the post fails.
    bool SendErrorReport(const std::string& sFrom, const std::string& sSubject, const std::string& sErrorMessage);

    // The address SendErrorReport posts to.
    std::string FormAddress(const std::string& sFrom, const std::string& sSubject,
                            const std::string& sErrorMessage) const;

    static constexpr const char* DefaultServiceUrl = "http://www.torvik.example";
    int timeoutSeconds = 30;

private:
    std::string baseUrl_;
};
