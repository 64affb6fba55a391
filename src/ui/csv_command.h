#pragma once

// "Save List to CSV File...": the rows the list shows, with its shown
// columns, as a CSV or tab-separated file the user names in the Save dialog.

#include "connections/connection_list.h"
#include "platform/system.h"

#include <string>

namespace vq::ui {

// "Connections yyyy-mm-dd hhmmss.csv" for a local time.
std::wstring CsvFileName(const platform::LocalTime& time);

// Nothing for an empty list. Otherwise asks for the file in the Save dialog,
// opened in the Documents folder with CsvFileName of now, offering CSV and
// tab-separated text; writes the file the user chose; a failure leaves no
// partial file and shows the system's reason in the error report, owned by
// owner.
void SaveListToCsv(const connections::ConnectionList& list, void* owner);

} // namespace vq::ui
