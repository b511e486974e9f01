#include "tools/questionnaire/InquiryForms.h"

#include <sstream>

namespace questionnaire {

namespace {

// Fields and circles are drawn by the background; the views over them only carry the input.
constexpr const char* kStyle =
    R"(QPushButton { border: none; background: transparent; padding: 0; margin: 0; }
QLineEdit { border: none; background: transparent; font-size: 20px; color: #000000; padding: 0 4px; }
QPlainTextEdit { border: none; background: transparent; font-size: 18px; color: #000000; }
QLabel#patientIDLabel, QLabel#inputDateLabel { font-size: 20px; color: #000000; padding: 0 4px; })";

void rect(std::ostream& out, const Rect& r) {
    out << "   <property name=\"geometry\"><rect><x>" << r.x << "</x><y>" << r.y << "</y><width>" << r.width
        << "</width><height>" << r.height << "</height></rect></property>\n";
}

void tagProperty(std::ostream& out, int tag) {
    out << "   <property name=\"tag\" stdset=\"0\"><number>" << tag << "</number></property>\n";
}

void open(std::ostream& out, const char* widgetClass, const std::string& name, const Rect& frame) {
    out << "  <widget class=\"" << widgetClass << "\" name=\"" << name << "\">\n";
    rect(out, frame);
}

std::string itemName(const InquiryItem& item) {
    switch (item.kind) {
    case ItemKind::SingleCircle:
    case ItemKind::MultiCircle:
        return "circle" + std::to_string(item.tag);
    case ItemKind::TextField:
        return "textField" + std::to_string(item.tag);
    case ItemKind::TextView:
        // Page 3's name box is the page's patientName outlet.
        return item.page == 3 && item.tag == 96 ? "patientName" : "textView" + std::to_string(item.tag);
    case ItemKind::DateLabel:
        break;
    }
    return "inputDateLabel";
}

void item(std::ostream& out, const InquiryItem& item) {
    switch (item.kind) {
    case ItemKind::SingleCircle:
    case ItemKind::MultiCircle:
        open(out, "QPushButton", itemName(item), item.frame);
        out << "   <property name=\"focusPolicy\"><enum>Qt::NoFocus</enum></property>\n";
        out << "   <property name=\"flat\"><bool>true</bool></property>\n";
        break;
    case ItemKind::TextField:
        open(out, "ui::TextField", itemName(item), item.frame);
        break;
    case ItemKind::TextView:
        open(out, "ui::TextView", itemName(item), item.frame);
        out << "   <property "
               "name=\"verticalScrollBarPolicy\"><enum>Qt::ScrollBarAlwaysOff</enum></property>\n";
        out << "   <property "
               "name=\"horizontalScrollBarPolicy\"><enum>Qt::ScrollBarAlwaysOff</enum></property>\n";
        break;
    case ItemKind::DateLabel:
        open(out, "QLabel", itemName(item), item.frame);
        out << "   <property name=\"text\"><string notr=\"true\"></string></property>\n";
        break;
    }
    tagProperty(out, item.tag);
    out << "  </widget>\n";
}

} // namespace

std::string pageFormName(int page) {
    return "inquiryView" + std::to_string(page) + ".ui";
}

std::string pageForm(const InquiryDefinition& definition, int page) {
    const std::string name = "inquiryView" + std::to_string(page);
    const int height = definition.pageHeights.at(size_t(page - 1));
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- Written by zaruvedez_questionnaire_tool from the questionnaire's definition. -->\n";
    out << "<ui version=\"4.0\">\n <class>" << name << "</class>\n";
    out << " <widget class=\"QWidget\" name=\"" << name << "\">\n";
    rect(out, {0, 0, 768, height});
    out << "  <property name=\"styleSheet\">\n   <string notr=\"true\">" << kStyle
        << "</string>\n  </property>\n";

    open(out, "QLabel", "backgroundImage", {0, 0, 768, height});
    out << "   <property name=\"scaledContents\"><bool>true</bool></property>\n  </widget>\n";
    open(out, "QLabel", "clinicLogoImage", definition.clinicLogoFrame);
    out << "   <property name=\"alignment\"><set>Qt::AlignRight|Qt::AlignVCenter</set></property>\n  "
           "</widget>\n";
    if (page == 1) {
        open(out, "QLabel", "patientIDLabel", definition.patientIdFrame);
        out << "   <property name=\"text\"><string notr=\"true\"></string></property>\n  </widget>\n";
    }
    for (const InquiryItem& each : definition.items)
        if (each.page == page) item(out, each);
    out << " </widget>\n";
    out << " <customwidgets>\n";
    out << "  <customwidget>\n   <class>ui::TextField</class>\n   <extends>QLineEdit</extends>\n"
           "   <header>platform/ui/TextField.h</header>\n  </customwidget>\n";
    out << "  <customwidget>\n   <class>ui::TextView</class>\n   <extends>QPlainTextEdit</extends>\n"
           "   <header>platform/ui/TextView.h</header>\n  </customwidget>\n";
    out << " </customwidgets>\n <resources/>\n <connections/>\n</ui>\n";
    return out.str();
}

std::string previewFormName() {
    return "printInquiryView.ui";
}

std::string previewForm(const InquiryDefinition& definition) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- Written by zaruvedez_questionnaire_tool from the questionnaire's definition. -->\n";
    out << "<ui version=\"4.0\">\n <class>printInquiryView</class>\n";
    out << " <widget class=\"QWidget\" name=\"printInquiryView\">\n";
    rect(out, {0, 0, 768, 1024});
    out << "  <property name=\"styleSheet\">\n   <string notr=\"true\">QWidget#printInquiryView, "
           "QWidget#contentView { background: #ffffff; }</string>\n  </property>\n";
    // Below the navigation bar on screen; the capture sets its own frame.
    open(out, "QScrollArea", "scrollView", {0, 44, 768, 980});
    out << "   <property name=\"frameShape\"><enum>QFrame::NoFrame</enum></property>\n";
    out << "   <property name=\"horizontalScrollBarPolicy\"><enum>Qt::ScrollBarAlwaysOff</enum></property>\n";
    out << "   <property name=\"widgetResizable\"><bool>false</bool></property>\n";
    out << "   <widget class=\"QWidget\" name=\"contentView\">\n";
    out << "    <property name=\"geometry\"><rect><x>0</x><y>0</y><width>768</width><height>"
        << kPreviewContentHeight << "</height></rect></property>\n";
    for (int page = 1; page <= 3; ++page) {
        out << "    <widget class=\"QWidget\" name=\"inquiry" << page << "Container\">\n ";
        rect(out, {0, (page - 1) * kPreviewBand, 768, definition.pageHeights.at(size_t(page - 1))});
        out << "    </widget>\n";
    }
    const Rect& radar = definition.radarFrame;
    const Rect& origin = definition.radarChartOrigin;
    out << "    <widget class=\"radarChartView\" name=\"radarChart\">\n ";
    rect(out, {radar.x + origin.x, 2 * kPreviewBand + radar.y + origin.y, origin.width, origin.height});
    out << "    </widget>\n";
    out << "   </widget>\n  </widget>\n </widget>\n";
    out << " <customwidgets>\n  <customwidget>\n   <class>radarChartView</class>\n   "
           "<extends>QWidget</extends>\n"
           "   <header>app/documents/questionnaire/radarChartView.h</header>\n  </customwidget>\n "
           "</customwidgets>\n";
    out << " <resources/>\n <connections/>\n</ui>\n";
    return out.str();
}

} // namespace questionnaire
