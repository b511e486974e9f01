#pragma once
// The documents' artwork on paper, drawn from the same definitions as the committed images the
// screens show, but as shapes and text: on paper its questions and captions are as sharp as the
// typed values beside them (an image at one pixel per point prints at about 93 dpi on A4), and they
// stay text a reader of the PDF can find. On screen the label keeps showing its image.
#include <optional>
#include <string>

class QLabel;

namespace documents {

// The label shows a questionnaire page's background (1 to 3) in the language ("Japanese",
// "Chinese", any other is English); printed, it draws the page instead.
void printQuestionnaireArtwork(QLabel* label, int page, const std::optional<std::string>& language);
// The label shows a certificate page's background (1 to 3; 0 for the one-page form) in the print
// language ("English", "Chinese", any other is Japanese); printed, it draws the page instead.
void printCertificateArtwork(QLabel* label, int page, const std::string& language);
// The label shows a tooth-age digit; printed, it draws the digit instead.
void printToothAgeDigit(QLabel* label, int digit);

} // namespace documents
