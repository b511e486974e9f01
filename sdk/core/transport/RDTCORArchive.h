#pragma once
// Keyed archives of transport objects. An object archives itself as a dictionary that names its class
// under "$class"; sets, URLs and number-keyed tables have fixed shapes. Archives are written
// atomically; missing files read as absent, damaged or foreign ones as absent with a log line.
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "sdk/core/transport/RDTCORTypes.h"

inline constexpr const char* kRDTCORArchiveClassKey = "$class";
inline constexpr const char* kRDTCORArchiveObjectsKey = "NS.objects";
inline constexpr const char* kRDTCORArchiveURLKey = "NS.relative";

class RDTCORCoding {
  public:
    virtual ~RDTCORCoding() = default;
    // The object as an archive value (a dictionary with "$class").
    virtual foundation::Value encodeToArchive() const = 0;
};

// The archive bytes of the object, also written atomically to `path` when it is not empty.
// Nothing (and `error`) when encoding or writing fails.
std::optional<foundation::Data> RDTCOREncodeArchive(const RDTCORCoding& object, const std::string& path,
                                                    foundation::ErrorPtr* error = nullptr);
std::optional<foundation::Data> RDTCOREncodeArchiveValue(const foundation::Value& value,
                                                         const std::string& path,
                                                         foundation::ErrorPtr* error = nullptr);
// The same for a value already in the archive encoding (see ArchiveCodec.h): frames it and writes it.
std::optional<foundation::Data> RDTCORWriteEncodedArchive(const foundation::Data& encodedValue,
                                                          const std::string& path,
                                                          foundation::ErrorPtr* error = nullptr);

// The archived object of class `className` from `bytes`, or when null from the file at `path`.
// A missing file gives nothing without an error.
std::optional<foundation::Value> RDTCORDecodeArchive(const std::string& className, const std::string& path,
                                                     const foundation::Data* bytes,
                                                     foundation::ErrorPtr* error = nullptr);

// Lets archives that name an older class decode as the current one.
void RDTCORArchiveSetClassName(const std::string& archivedName, const std::string& className);
// The class an archived object decodes as (after the mappings); empty for plain values.
std::string RDTCORArchiveClassOf(const foundation::Value& v);
bool RDTCORArchiveIsObjectOfClass(const foundation::Value& v, const std::string& className);

// Sets and ordered sets archive their members under "NS.objects".
foundation::Value RDTCORArchiveSet(foundation::Array objects, const char* className = "NSSet");
// The members of an archived set, ordered set or array; null for anything else.
const foundation::Array* RDTCORArchiveCollectionObjects(const foundation::Value& v);

foundation::Value RDTCORArchiveFileURL(const std::string& path);
// The path of an archived file URL (or of a plain "file://" or path string); nothing otherwise.
std::optional<std::string> RDTCORArchiveURLPath(const foundation::Value& v);
