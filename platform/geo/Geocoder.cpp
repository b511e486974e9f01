#include "platform/geo/Geocoder.h"

#include <mutex>

#include "platform/foundation/SerialQueue.h"

namespace geo {

namespace {

std::mutex& pathMutex() {
    static std::mutex m;
    return m;
}

std::string& configuredPath() {
    static std::string path = kDefaultZipCodeDictionaryPath;
    return path;
}

// One worker for every geocoder: look-ups are short and the dictionary is read only once.
const foundation::QueuePtr& lookupQueue() {
    static const foundation::QueuePtr queue = foundation::SerialQueue::create("geo.geocoder");
    return queue;
}

foundation::ErrorPtr makeError(long code, const char* description) {
    return foundation::Error::make(kGeocoderErrorDomain, code,
                                   {{foundation::kLocalizedDescriptionKey, foundation::Value(description)}});
}

} // namespace

struct Geocoder::Request {
    CompletionHandler completion;
    std::atomic<bool> finished{false};
    std::atomic<bool> cancelled{false};

    // Delivers once on the main queue; whichever of the result and a cancel comes first wins.
    static void finish(const std::shared_ptr<Request>& request, std::vector<Placemark> placemarks,
                       foundation::ErrorPtr error) {
        foundation::SerialQueue::main()->async([request, placemarks = std::move(placemarks), error] {
            // A result already on its way when the look-up was cancelled is dropped.
            if (request->cancelled || request->finished.exchange(true)) return;
            auto completion = std::move(request->completion);
            if (completion) completion(placemarks, error);
        });
    }
};

foundation::Dictionary Placemark::addressDictionary() const {
    foundation::Dictionary d;
    d[kAddressStateKey] = foundation::Value(address_.prefecture);
    d[kAddressCityKey] = foundation::Value(address_.municipality);
    if (!address_.rest.empty()) d[kAddressStreetKey] = foundation::Value(address_.rest);
    d[kAddressZIPKey] = foundation::Value(address_.zip.substr(0, 3) + "-" + address_.zip.substr(3));
    d[kAddressCountryKey] = foundation::Value("日本");
    d[kAddressCountryCodeKey] = foundation::Value("JP");
    return d;
}

void Geocoder::setDictionaryPath(std::string path) {
    std::lock_guard<std::mutex> lock(pathMutex());
    configuredPath() = std::move(path);
}

std::string Geocoder::dictionaryPath() {
    std::lock_guard<std::mutex> lock(pathMutex());
    return configuredPath();
}

Geocoder::Geocoder() : path_(dictionaryPath()) {}

Geocoder::~Geocoder() = default;

void Geocoder::geocodeAddressString(const std::string& address, CompletionHandler completion) {
    auto request = std::make_shared<Request>();
    request->completion = std::move(completion);
    current_ = request;
    lookupQueue()->async([request, address, path = path_] {
        if (request->cancelled) return; // cancelled before it started
        auto dictionary = ZipCodeDictionary::shared(path);
        if (!dictionary) {
            Request::finish(
                request, {},
                makeError(kGeocodeDictionaryUnavailable, "The postal-code dictionary is unavailable."));
            return;
        }
        std::vector<Placemark> placemarks;
        for (auto& a : dictionary->lookup(address))
            placemarks.emplace_back(std::move(a));
        foundation::ErrorPtr error;
        if (placemarks.empty()) error = makeError(kGeocodeFoundNoResult, "No result for the address.");
        Request::finish(request, std::move(placemarks), std::move(error));
    });
}

void Geocoder::cancelGeocode() {
    if (!current_ || current_->finished) return;
    auto request = current_;
    request->cancelled = true;
    foundation::SerialQueue::main()->async([request] {
        if (request->finished.exchange(true)) return;
        auto completion = std::move(request->completion);
        if (completion) completion({}, makeError(kGeocodeCanceled, "The look-up was cancelled."));
    });
}

bool Geocoder::isGeocoding() const {
    return current_ && !current_->finished;
}

} // namespace geo
