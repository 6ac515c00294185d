#include "notify/curl_channels.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include <fmt/format.h>

namespace qrv::notify {

namespace {

// libcurl wants its global set-up done once, before any transfer.
bool CurlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

int AbortOnStop(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::stop_token*>(stop)->stop_requested() ? 1 : 0;
}

// What the receiver answered is kept only as far as a log line shows it.
std::size_t KeepAnswer(char* data, std::size_t size, std::size_t count, void* target) {
    auto& answer = *static_cast<std::string*>(target);
    const std::size_t bytes = size * count;
    if (answer.size() < 200) {
        answer.append(data, std::min(bytes, 200 - answer.size()));
    }
    return bytes;
}

struct Upload {
    std::string_view text;
    std::size_t sent = 0;
};

std::size_t ReadUpload(char* buffer, std::size_t size, std::size_t count, void* source) {
    auto& upload = *static_cast<Upload*>(source);
    const std::size_t bytes = std::min(size * count, upload.text.size() - upload.sent);
    std::memcpy(buffer, upload.text.data() + upload.sent, bytes);
    upload.sent += bytes;
    return bytes;
}

Easy Prepared(std::chrono::milliseconds timeout, const std::stop_token& stop,
              const char* protocols) {
    if (!CurlReady()) {
        return nullptr;
    }
    Easy curl(curl_easy_init());
    if (!curl) {
        return nullptr;
    }
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, AbortOnStop);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stop);
    return curl;
}

std::string Failure(CURLcode code, const char* error) {
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        return "stopped";
    }
    return error[0] != '\0' ? std::string(error) : std::string(curl_easy_strerror(code));
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; }, ' ');
    return line;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Base64(std::string_view data) {
    static constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const auto byte = [&](std::size_t k) {
            return k < data.size() ? static_cast<unsigned char>(data[k]) : 0u;
        };
        const unsigned chunk = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        out += kDigits[(chunk >> 18) & 63];
        out += kDigits[(chunk >> 12) & 63];
        out += i + 1 < data.size() ? kDigits[(chunk >> 6) & 63] : '=';
        out += i + 2 < data.size() ? kDigits[chunk & 63] : '=';
    }
    return out;
}

// A header value on one line: a title never opens a header of its own.
std::string HeaderValue(std::string_view text) {
    std::string value(text);
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (IsAscii(value)) {
        return value;
    }
    return "=?UTF-8?B?" + Base64(value) + "?=";
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            continue;
        }
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string MailText(const std::string& from, const std::string& to, const Message& message) {
    // The notice's id on the sender's domain: every attempt to deliver the
    // notice carries the same Message-ID, so a repeat is recognised.
    const auto at = from.rfind('@');
    const std::string domain = at == std::string::npos ? "quorvanel.invalid" : from.substr(at + 1);
    // Every notice is dated when it is made (MessageOf, or when a kept one is
    // read); the Date of every attempt is that one, as the Message-ID is.
    const std::string date =
        message.date.empty() ? std::string() : "Date: " + HeaderValue(message.date) + "\r\n";
    return fmt::format(
        "{}From: {}\r\nTo: {}\r\nSubject: {}\r\nMessage-ID: <{}@{}>\r\nMIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n"
        "X-Priority: {}\r\n\r\n{}",
        date, from, to, HeaderValue(message.title), HeaderValue(message.id), HeaderValue(domain),
        message.priority >= 5 ? 1 : 3, WithCrLf(message.text));
}

DeliveryResult WebhookChannel::Deliver(const NotifyContact& contact, const Message& message,
                                       const std::stop_token& stop) {
    Easy curl = Prepared(timeout_, stop, "http,https");
    if (!curl) {
        return {false, false, "libcurl could not start a transfer"};
    }
    CURL* c = curl.get();
    const std::string& body = message.document;
    List headers(curl_slist_append(nullptr, "Content-Type: application/json"));
    if (!message.id.empty()) {
        // ntfy replaces a notification of the same sequence id instead of
        // showing a second one: a retry never doubles a notice.
        const std::string sequence = "X-Sequence-ID: " + HeaderValue(message.id);
        headers.reset(curl_slist_append(headers.release(), sequence.c_str()));
    }
    if (!contact.token.empty()) {
        const std::string bearer = "Authorization: Bearer " + contact.token;
        headers.reset(curl_slist_append(headers.release(), bearer.c_str()));
    }
    std::string answer;
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_URL, contact.address.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, KeepAnswer);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK) {
        return {false, false, Failure(code, error)};
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    const std::string said = FirstLine(answer);
    if (status < 200 || status > 299) {
        const bool permanent = status >= 400 && status <= 499 && status != 408 && status != 429;
        return {false, permanent,
                said.empty() ? fmt::format("HTTP {}", status)
                             : fmt::format("HTTP {}: {}", status, said)};
    }
    return {true, false, fmt::format("HTTP {}", status)};
}

DeliveryResult EmailChannel::Deliver(const NotifyContact& contact, const Message& message,
                                     const std::stop_token& stop) {
    Easy curl = Prepared(timeout_, stop, "smtp,smtps");
    if (!curl) {
        return {false, false, "libcurl could not start a transfer"};
    }
    CURL* c = curl.get();
    const std::string mail = MailText(settings_.from, contact.address, message);
    Upload upload{mail};
    const std::string from = "<" + settings_.from + ">";
    const std::string to = "<" + contact.address + ">";
    List recipients(curl_slist_append(nullptr, to.c_str()));
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_URL, settings_.smtpUrl.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_USE_SSL,
                     static_cast<long>(settings_.starttls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    if (!settings_.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, settings_.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, settings_.password.c_str());
    }
    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
        // A 5xx reply is the server's final word on this mail.
        return {false, status >= 500 && status <= 599, Failure(code, error)};
    }
    return {true, false, fmt::format("SMTP {}", status)};
}

}  // namespace qrv::notify
