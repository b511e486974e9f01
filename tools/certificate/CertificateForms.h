#pragma once
// Lays the certificate's views out as Designer forms, from the same definition that draws their
// backgrounds: every mark, date, field and slot lands on its printed place by construction.
#include <string>

#include "app/documents/artwork/CertificateDefinition.h"

namespace certificate {

// The file name of a form ("certificateView1.ui" … "onePageCertificateView.ui").
std::string formFileName(Form form);
// The objectName a tagged view gets in the form.
std::string itemObjectName(const CertificateItem& item);
// The form: the background, the named views and a view for each tagged item, tagged with its key.
std::string formText(const CertificateDefinition& definition, Form form);

} // namespace certificate
