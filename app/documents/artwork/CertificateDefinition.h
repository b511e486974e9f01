#pragma once
// The certificate's four forms (three pages and the one-page form) as data: every tagged view with
// its frame and the printed text beside it, every named view the screens reach, and the texts and
// panels printed around them, in the three languages. Backgrounds and forms are both drawn from
// this, so a mark and its printed box can't drift apart.
#include <array>
#include <string>
#include <vector>

#include "app/documents/artwork/ArtworkBasics.h"

namespace certificate {

using artwork::kLanguages;
using artwork::Language;
using artwork::Rect;
using artwork::Text;

enum class Form { Page1, Page2, Page3, OnePage };
inline constexpr std::array<Form, 4> kForms = {Form::Page1, Form::Page2, Form::Page3, Form::OnePage};
inline constexpr int kPageWidth = 768;
inline constexpr int kPageHeight = 1024;

// The form's class and root widget name ("certificateView1" … "onePageCertificateView").
std::string formClassName(Form form);
// The background file of a form in a language, as the screens look it up.
std::string backgroundName(Form form, Language language);
// The name of the background image view.
std::string backgroundOutlet(Form form);

enum class ItemKind {
    FaceImage,    // 1, 2: the judgement's face
    FaceMark,     // 11-13, 21-23: "●" on a drawn ring, the choice printed beside
    DateLabel,    // 30, 31, 33, 34
    WeekdayLabel, // 32, 36: written by the page, never tapped
    Treatment,    // 40-49: text views on a ruled line
    SquareCheck,  // "■" single choice per group of ten
    DotCheck,     // "●" single choice per group of ten
    MultiCheck,   // "●", any number per group of a hundred
    NumberField,  // page 2: digits only
    PhotoSlot,
    OverallFace, // page 3: the overall judgement's face (70)
    Comment,     // 90001
};

// A tagged view; its tag is its key in the certificate record.
struct CertificateItem {
    int tag = 0;
    ItemKind kind = ItemKind::SquareCheck;
    Form form = Form::Page1;
    Rect frame;
    Text text;        // the printed choice (marks) or caption (photo slots); empty otherwise
    Rect textFrame;   // where that text is printed
    std::string name; // the screen's outlet name when it has one, else empty
};

enum class ViewKind { Label, Image, Block, Button, List };

// A named, untagged view the screens reach by name (captions set per language, patient and clinic
// labels, the photo list). `text` is what the form shows before the screen changes it.
struct Outlet {
    std::string name;
    Form form = Form::Page1;
    ViewKind kind = ViewKind::Label;
    Rect frame; // in its parent's coordinates
    std::string text;
    int fontSize = 15;
    bool bold = false;
    bool hidden = false;
    bool box = false;      // a drawn frame round other views, with no text
    std::string parent;    // empty: the page itself
    int raisedInPrint = 0; // a block the printed page shows this many points higher
};

enum class PrintStyle { Title, Section, Caption, Small, Unit };

// Printed text that no view covers.
struct PrintedText {
    Form form = Form::Page1;
    Rect frame;
    PrintStyle style = PrintStyle::Caption;
    Text text;
    bool centred = false;
};

// A tinted, rounded panel printed behind a block of views.
struct Panel {
    Form form = Form::Page1;
    Rect frame;
};

struct CertificateDefinition {
    std::vector<CertificateItem> items;
    std::vector<Outlet> outlets;
    std::vector<PrintedText> texts;
    std::vector<Panel> panels;
};

const CertificateDefinition& certificateDefinition();

// Where a view's frame lies on its printed page (outlets inside a block are offset by the block's
// origin; a block raised in print, and what it holds, lie that much higher).
Rect pageFrame(const CertificateDefinition& definition, const Outlet& outlet);

// The face icons and their numbers: 11-13, 21-23 (page 1 and the one-page form) and 71-75 (page 3).
std::vector<int> faceIconNumbers();
// The digits the tooth age is shown with: 0 and 2 to 9.
std::vector<int> toothAgeDigits();

} // namespace certificate
