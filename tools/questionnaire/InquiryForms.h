#pragma once
// Lays the questionnaire pages' views out as Designer forms, from the same definition that draws
// their backgrounds: every circle, field and text view lands on its printed place by construction.
#include <string>

#include "app/documents/artwork/InquiryDefinition.h"

namespace questionnaire {

// The file name of a page's form ("inquiryView1.ui" …).
std::string pageFormName(int page);
// The form of a page (1 to 3): a transparent view over the background for each item, tagged with the
// item's key, plus the background, the clinic logo and the page's own labels.
std::string pageForm(const InquiryDefinition& definition, int page);

// The print preview's form ("printInquiryView.ui"): a scroll view holding the three pages one band of
// the capture apart, and the radar chart where page 3 prints its grid.
inline constexpr int kPreviewBand = 1150;
inline constexpr int kPreviewContentHeight = 3400;
std::string previewFormName();
std::string previewForm(const InquiryDefinition& definition);

} // namespace questionnaire
