#include "sdk/core/transport/RDTCORArchive.h"

#include <map>
#include <mutex>

#include "platform/foundation/Files.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/RDTCORLog.h"

using foundation::Data;
using foundation::Value;

namespace {

std::mutex& mappingMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, std::string>& classNameMappings() {
    static sdk::NoDestructor<std::map<std::string, std::string>> m;
    return *m;
}

foundation::ErrorPtr archiveError(long code, const std::string& description) {
    return foundation::Error::make(kRDTCORErrorDomainArchive, code,
                                   {{foundation::kLocalizedDescriptionKey, Value(description)}});
}

} // namespace

std::optional<Data> RDTCOREncodeArchiveValue(const Value& value, const std::string& path,
                                             foundation::ErrorPtr* error) {
    Data encoded;
    try {
        encoded = transport::codec::encodeValue(value);
    } catch (const std::exception& e) {
        auto err = archiveError(1, e.what());
        RDTCORLogDebug("Encoding an object failed: %@", *err);
        if (error) *error = err;
        return std::nullopt;
    }
    return RDTCORWriteEncodedArchive(encoded, path, error);
}

std::optional<Data> RDTCORWriteEncodedArchive(const Data& encodedValue, const std::string& path,
                                              foundation::ErrorPtr* error) {
    Data bytes = transport::codec::frame(encodedValue);
    if (!path.empty()) {
        if (foundation::writeFileAtomically(path, bytes)) {
            RDTCORLogDebug("Writing archive succeeded: %@", path);
        } else {
            auto err = archiveError(2, "The archive could not be written.");
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile, "Attempt to write archive failed: URL:%@ error:%@",
                             path, *err);
            if (error) *error = err;
            return std::nullopt;
        }
    }
    return bytes;
}

std::optional<Data> RDTCOREncodeArchive(const RDTCORCoding& object, const std::string& path,
                                        foundation::ErrorPtr* error) {
    Value v;
    try {
        v = object.encodeToArchive();
    } catch (const std::exception& e) {
        auto err = archiveError(1, e.what());
        RDTCORLogDebug("Encoding an object failed: %@", *err);
        if (error) *error = err;
        return std::nullopt;
    }
    return RDTCOREncodeArchiveValue(v, path, error);
}

std::optional<Value> RDTCORDecodeArchive(const std::string& className, const std::string& path,
                                         const Data* bytes, foundation::ErrorPtr* error) {
    std::optional<Data> read;
    if (!bytes) {
        if (!foundation::fileExists(path)) return std::nullopt;
        read = foundation::readFile(path);
        if (!read) {
            auto err = archiveError(3, "The archive could not be read.");
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                             "The archive %@ is unreadable and is read as absent: %@", path, *err);
            if (error) *error = err;
            return std::nullopt;
        }
        bytes = &*read;
    }
    std::string why;
    auto v = transport::codec::unframe(*bytes, &why);
    if (v && !RDTCORArchiveIsObjectOfClass(*v, className)) {
        why = "it holds no " + className;
        v.reset();
    }
    if (!v) {
        auto err = archiveError(4, "The archive is damaged or not one of ours: " + why + ".");
        RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                         "The archive %@ is unreadable and is read as absent: %@",
                         path.empty() ? std::string("(bytes)") : path, *err);
        if (error) *error = err;
        return std::nullopt;
    }
    return v;
}

void RDTCORArchiveSetClassName(const std::string& archivedName, const std::string& className) {
    std::lock_guard lock(mappingMutex());
    classNameMappings()[archivedName] = className;
}

std::string RDTCORArchiveClassOf(const Value& v) {
    const auto* cls = v[kRDTCORArchiveClassKey].string();
    if (!cls) return {};
    std::lock_guard lock(mappingMutex());
    auto it = classNameMappings().find(*cls);
    return it == classNameMappings().end() ? *cls : it->second;
}

bool RDTCORArchiveIsObjectOfClass(const Value& v, const std::string& className) {
    return v.isDictionary() && RDTCORArchiveClassOf(v) == className;
}

Value RDTCORArchiveSet(foundation::Array objects, const char* className) {
    return Value(foundation::Dictionary{{kRDTCORArchiveClassKey, className},
                                        {kRDTCORArchiveObjectsKey, Value(std::move(objects))}});
}

const foundation::Array* RDTCORArchiveCollectionObjects(const Value& v) {
    if (v.isArray()) return v.array();
    auto cls = RDTCORArchiveClassOf(v);
    if (cls == "NSSet" || cls == "NSMutableSet" || cls == "NSOrderedSet" || cls == "NSMutableOrderedSet" ||
        cls == "NSArray")
        return v[kRDTCORArchiveObjectsKey].array();
    return nullptr;
}

Value RDTCORArchiveFileURL(const std::string& path) {
    return Value(
        foundation::Dictionary{{kRDTCORArchiveClassKey, "NSURL"}, {kRDTCORArchiveURLKey, "file://" + path}});
}

std::optional<std::string> RDTCORArchiveURLPath(const Value& v) {
    const std::string* s = v.string();
    if (!s && RDTCORArchiveIsObjectOfClass(v, "NSURL")) s = v[kRDTCORArchiveURLKey].string();
    if (!s) return std::nullopt;
    std::string text = *s;
    if (text.rfind("file://", 0) == 0) text = text.substr(7);
    return text;
}
