// server/upload/report_upload.cpp: from a streamed form body to a stored report, or a clear refusal.
#include "server/upload/report_upload.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "server/common/sha256.h"
#include "server/http/access_log.h"
#include "server/http/cross_site.h"
#include "server/reports/reading_record.h"
#include "server/upload/multipart_reader.h"

namespace lumresults {
namespace {

constexpr std::string_view REPORT_FIELD = "userfile";

// A spool file that is removed with its owner, stored or not.
// A verdict as /metrics labels it.
constexpr std::string_view metric_verdict(TestVerdict verdict) {
    switch (verdict) {
    case TestVerdict::ok: return "ok";
    case TestVerdict::failed: return "failed";
    case TestVerdict::skipped: return "skipped";
    case TestVerdict::not_reached: break;
    }
    return "not_reached";
}

class SpoolFile {
public:
    explicit SpoolFile(const std::filesystem::path& dir) {
        std::string pattern = (dir / "upload-XXXXXX").string();
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ >= 0) path_ = pattern;
    }
    ~SpoolFile() {
        if (fd_ < 0) return;
        ::close(fd_);
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    bool usable() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }
    bool write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

class ReportUpload final : public BodyReceiver, private FormPartHandler {
public:
    ReportUpload(const Request& request, ReportStore& store, Metrics& metrics, const UploadSettings& settings)
        : store_(store), metrics_(metrics), settings_(settings), spool_(settings.spool_dir),
          caller_(format_address(request.caller)), content_length_(request.content_length),
          cross_site_(from_another_site(request)) {
        const std::optional<std::string> boundary = form_boundary(request.header("Content-Type").value_or(""));
        if (boundary) reader_ = std::make_unique<MultipartReader>(*boundary, static_cast<FormPartHandler&>(*this));
    }

    std::optional<Response> refusal() override {
        // The program sends neither Origin nor Sec-Fetch-Site; a browser sends Origin with every POST that
        // another site's page makes. Refused before any of the body is read, so that no web page a
        // subscriber opens can plant a report under their address.
        if (cross_site_) return Response::text(403, "reports are taken only from the program, not from web pages\n");
        if (content_length_ && *content_length_ > settings_.max_body) return too_large();
        if (!reader_) return Response::text(400, "expected a multipart/form-data body with a boundary\n");
        if (!spool_.usable()) return Response::text(503, "cannot take uploads now\n");
        return std::nullopt;
    }

    std::optional<Response> feed(std::string_view bytes) override {
        body_bytes_ += bytes.size();
        if (body_bytes_ > settings_.max_body) return too_large();
        if (!reader_->feed(bytes)) return malformed(reader_->error());
        if (fault_) return fault_;
        return std::nullopt;
    }

    Response finish() override {
        if (const FormError error = reader_->finish(); error != FormError::None) return malformed(error);
        if (fault_) return *fault_;
        if (!report_) return Response::text(400, "no file part named userfile\n");
        return store_report();
    }

private:
    Response too_large() const {
        return Response::text(413, "the upload is larger than " + std::to_string(settings_.max_body) + " bytes\n");
    }

    static Response malformed(FormError error) {
        if (error == FormError::Truncated) return Response::text(400, "the form ended before its closing boundary\n");
        if (error == FormError::HeaderTooLarge) return Response::text(400, "a part's header is too large\n");
        return Response::text(400, "malformed multipart/form-data body\n");
    }

    void part_begins(const FormPart& part) override {
        in_report_ = false;
        if (!part.file_name || fault_) return;
        if (report_ || part.name != REPORT_FIELD) {
            fault_ = Response::text(400, "expected exactly one file part, named userfile\n");
            return;
        }
        report_ = NewReport{caller_, {}, *part.file_name, part.content_type, 0, {}, spool_.path()};
        in_report_ = true;
    }

    void part_data(std::string_view bytes) override {
        if (!in_report_ || fault_) return;
        if (!spool_.write(bytes)) fault_ = Response::text(503, "cannot keep the upload now\n");
        hash_.update(bytes);
        report_->size += bytes.size();
    }

    void part_ends() override { in_report_ = false; }

    Response store_report() {
        report_->sha256 = hash_.finish_hex();
        report_->received = Clock::now();
        try {
            const std::int64_t id = store_.put_report(*report_);
            metrics_.count_upload_stored(report_->size);
            keep_reading(id);
            // put_report returns once the transaction is on stable storage: only now may the upload be
            // acknowledged, since the program never sends a report twice.
            return Response::text(200, "OK " + std::to_string(id));
        } catch (const StoreError& error) {
            write_log_line(std::string("lumresults: a report from ") + caller_ + " was not stored: " + error.what());
            return Response::text(503, "the report could not be stored\n");
        }
    }

    // The reading comes after the report is stored: a report that cannot be read is still kept, and
    // `lumresults reanalyse` can read it later.
    void keep_reading(std::int64_t id) {
        try {
            if (const std::optional<ReportReading> reading = read_stored_report(store_, id))
                for (std::size_t test = 0; test < READING_TESTS; ++test)
                    metrics_.count_reading(static_cast<int>(test) + 1, metric_verdict(reading->verdicts[test]));
        } catch (const std::exception& error) {
            write_log_line("lumresults: report " + std::to_string(id) + " is stored but was not read: " + error.what());
        }
    }

    ReportStore& store_;
    Metrics& metrics_;
    const UploadSettings& settings_;
    SpoolFile spool_;
    std::string caller_;
    std::optional<std::uint64_t> content_length_;
    bool cross_site_;
    std::unique_ptr<MultipartReader> reader_;
    std::uint64_t body_bytes_ = 0;
    std::optional<NewReport> report_;
    bool in_report_ = false;
    Sha256 hash_;
    std::optional<Response> fault_;
};

} // namespace

void clear_spool(const std::filesystem::path& spool_dir) {
    std::filesystem::create_directories(spool_dir);
    for (const auto& entry : std::filesystem::directory_iterator(spool_dir))
        std::filesystem::remove(entry.path());
}

std::unique_ptr<BodyReceiver> receive_report(const Request& request, ReportStore& store, Metrics& metrics,
                                             const UploadSettings& settings) {
    return std::make_unique<ReportUpload>(request, store, metrics, settings);
}

} // namespace lumresults
