#pragma once
// Printing of prepared report pages (Qt Print Support): the printer set up for the template's
// paper, and the pages of its range sent with its copies and collation.
#include "components/reportengine.h"

class QPrinter;

namespace Report {

// Paper size and orientation of the template, full page (coordinates from the paper's edge).
void setUpPrinter(QPrinter &printer, const PageSetup &page);

// Prints the pages the printer's page range selects (all by default), with its copies and
// collation. Returns the number of sheets sent.
int printReport(const PreparedReport &report, QPrinter &printer);

} // namespace Report
