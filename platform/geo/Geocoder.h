#pragma once
// The geocoder: turns a Japanese postal code ("〒0600000", "〒060-0000") into placemarks from the
// postal-code dictionary. The look-up runs off the main thread (the dictionary is read on first use);
// the completion always arrives on the main queue. A text that is no known postal code gives no
// placemark and the error kGeocodeFoundNoResult, which callers may ignore.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/geo/ZipCodeDictionary.h"

namespace geo {

inline constexpr const char* kGeocoderErrorDomain = "GeocoderErrorDomain";
enum GeocoderError : long {
    kGeocodeDictionaryUnavailable = 1, // the dictionary file is missing or unreadable
    kGeocodeFoundNoResult = 8,
    kGeocodeCanceled = 10,
};

// The keys of a placemark's address dictionary.
inline constexpr const char* kAddressStateKey = "State";   // prefecture
inline constexpr const char* kAddressCityKey = "City";     // municipality
inline constexpr const char* kAddressStreetKey = "Street"; // town area
inline constexpr const char* kAddressZIPKey = "ZIP";       // "060-0000"
inline constexpr const char* kAddressCountryKey = "Country";
inline constexpr const char* kAddressCountryCodeKey = "CountryCode";

class Placemark {
  public:
    explicit Placemark(PostalAddress address) : address_(std::move(address)) {}
    const PostalAddress& postalAddress() const { return address_; }
    foundation::Dictionary addressDictionary() const;
    // The whole address as one line.
    std::string name() const { return address_.full(); }

  private:
    PostalAddress address_;
};

class Geocoder {
  public:
    using CompletionHandler = std::function<void(const std::vector<Placemark>&, const foundation::ErrorPtr&)>;

    // The dictionary the geocoders made from now on read (tests point it at a fixture).
    static void setDictionaryPath(std::string path);
    static std::string dictionaryPath();

    Geocoder();
    ~Geocoder();
    Geocoder(const Geocoder&) = delete;
    Geocoder& operator=(const Geocoder&) = delete;

    // Starts a look-up; the handler runs once, on the main queue, unless the look-up is cancelled
    // first (then it runs with kGeocodeCanceled). Outlives this object when it is released early.
    void geocodeAddressString(const std::string& address, CompletionHandler completion);
    void cancelGeocode();
    bool isGeocoding() const;

  private:
    struct Request;
    std::shared_ptr<Request> current_;
    std::string path_;
};

} // namespace geo
