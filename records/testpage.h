#pragma once

#include "records/printinglayer.h"

// The printed test page: after the printer dialog, one page bearing the line "打印测试" for
// each copy chosen. Any failure ends the print at once and silently; copies already printed
// are kept. Returns the number of pages completed.
namespace TestPage {

inline constexpr char kLine[] = "打印测试";

int print(PrintingLayer &printer);

} // namespace TestPage
