#pragma once
int DayFile();
