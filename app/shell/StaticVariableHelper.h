#pragma once
// Process-wide choices the form start screens make before they open a form: the questionnaire's
// language, the certificate's print language and mode, and the album the photo editor saves into.
// All absent at launch, kept until overwritten, never stored.
#include <optional>
#include <string>

#include "app/store/PhotoAlbumSource.h"

class StaticVariableHelper {
  public:
    StaticVariableHelper() = delete;

    // "Japanese", "English" or "Chinese".
    static const std::optional<std::string>& inquiryLanguage();
    static void setInquiryLanguage(std::optional<std::string> language);

    // Empty while filling out; "Japanese", "English" or "Chinese" for printing.
    static const std::optional<std::string>& certificatePrintLanguage();
    static void setCertificatePrintLanguage(std::optional<std::string> language);

    // "FillOut" or "Print".
    static const std::optional<std::string>& certificatePrint();
    static void setCertificatePrint(std::optional<std::string> mode);

    static const std::optional<store::PhotoAlbum>& targetAlbumForOnePageImageEditor();
    static void setTargetAlbumForOnePageImageEditor(std::optional<store::PhotoAlbum> album);

    // Back to the launch state (tests).
    static void reset();
};
