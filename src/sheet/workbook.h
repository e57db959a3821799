#pragma once
// The workbook engine: sheets, cells and formats, read from and written to .xls files.
namespace tovera {}
