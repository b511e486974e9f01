#pragma once
// The questionnaire's three pages as data: every tagged view (circle, text field, text view, date
// label) with its frame, and the printed texts around them, in the three languages. The page
// artwork is drawn from this, so a circle's frame and its printed choice can't drift apart.
#include <array>
#include <string>
#include <vector>

#include "app/documents/artwork/ArtworkBasics.h"

namespace questionnaire {

using artwork::kLanguages;
using artwork::Language;
using artwork::Rect;
using artwork::Text;

enum class ItemKind { SingleCircle, MultiCircle, TextField, TextView, DateLabel };

// A view laid over the page background; its tag is its key in the questionnaire answers.
struct InquiryItem {
    int tag = 0;
    ItemKind kind = ItemKind::SingleCircle;
    int page = 1;
    Rect frame;
    Text text;         // the printed choice (circles) or the caption of a field
    Rect captionFrame; // fields only: where the caption is printed
};

enum class PrintStyle { Title, Section, Question, Caption, Note };

// Printed text that no view covers: titles, section bands, question lines.
struct PrintedText {
    int page = 1;
    Rect frame;
    PrintStyle style = PrintStyle::Question;
    Text text;
};

struct InquiryDefinition {
    std::array<int, 3> pageHeights{};
    std::vector<InquiryItem> items;
    std::vector<PrintedText> texts;
    Rect patientIdFrame;  // page 1: where the patient ID label sits
    Rect clinicLogoFrame; // every page: the clinic's logo, top right
    // Page 3 prints the radar chart background in radarFrame; the radar view, whose points start at
    // its own top left, goes at radarFrame's origin moved by radarChartOrigin.
    Rect radarFrame;
    Rect radarChartOrigin;
    // The radar axes in the order of graph1..graph5.
    std::array<Text, 5> axisNames;
};

const InquiryDefinition& inquiryDefinition();

// The background file of a page (1 to 3) in a language, as the pages look it up.
std::string pageImageName(int page, Language language);
std::string radarImageName(Language language);

} // namespace questionnaire
