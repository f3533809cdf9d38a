#pragma once
// Date-time as days since 30 December 1899, the fraction being the time of day.
#include <cstdint>
#include <string>

using TDateTime = double;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Raise EConvertError for a date or time that does not exist.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& millisecond);
TDateTime Now();
TDateTime Date();
// "yyyy-mm-dd hh:nn:ss" style formatting with the tokens yyyy yy mm dd hh nn ss zzz.
std::string FormatDateTime(const std::string& format, TDateTime dt);
