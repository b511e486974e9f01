#include "app/shell/StaticVariableHelper.h"

namespace {

// Touched from the main thread only, as the screens that use them are.
struct Settings {
    std::optional<std::string> inquiryLanguage;
    std::optional<std::string> certificatePrintLanguage;
    std::optional<std::string> certificatePrint;
    std::optional<store::PhotoAlbum> targetAlbum;
};

Settings& settings() {
    static Settings s;
    return s;
}

} // namespace

const std::optional<std::string>& StaticVariableHelper::inquiryLanguage() {
    return settings().inquiryLanguage;
}
void StaticVariableHelper::setInquiryLanguage(std::optional<std::string> language) {
    settings().inquiryLanguage = std::move(language);
}

const std::optional<std::string>& StaticVariableHelper::certificatePrintLanguage() {
    return settings().certificatePrintLanguage;
}
void StaticVariableHelper::setCertificatePrintLanguage(std::optional<std::string> language) {
    settings().certificatePrintLanguage = std::move(language);
}

const std::optional<std::string>& StaticVariableHelper::certificatePrint() {
    return settings().certificatePrint;
}
void StaticVariableHelper::setCertificatePrint(std::optional<std::string> mode) {
    settings().certificatePrint = std::move(mode);
}

const std::optional<store::PhotoAlbum>& StaticVariableHelper::targetAlbumForOnePageImageEditor() {
    return settings().targetAlbum;
}
void StaticVariableHelper::setTargetAlbumForOnePageImageEditor(std::optional<store::PhotoAlbum> album) {
    settings().targetAlbum = std::move(album);
}

void StaticVariableHelper::reset() {
    settings() = Settings{};
}
