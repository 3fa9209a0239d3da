#pragma once

// The texts of the verification with test weights (the certificate, quartel-cli verify), in Italian and
// English. Keys of Verification():
//   "Title"                    the certificate's title;
//   "Customer", "Site", "ScaleId", "Weights", "WeightsCertificate", "Temperature", "Technician"
//                              the header fields;
//   "Instrument"               the instrument line: %1 model, %2 address, %3 software version;
//   "Configuration"            the configuration line: %1 capacity, %2 division, %3 sensitivity;
//   "Rules"                    the rules line: %1 class, %2 the kind of inspection;
//   "Initial", "InService"     the kinds of inspection;
//   "Figures"                  %1 e, %2 Max, %3 n, %4 Min (with their unit);
//   "NWarning"                 n outside the class's range: %1 n, %2 the range;
//   "ErrorRule"                how the error is worked out;
//   "Head*"                    the column heads of the table of steps;
//   "Weighing", "Eccentricity", "Repeatability"  the tests;
//   "Centre"                   the position at the centre (others are numbered 1..4);
//   "Pass", "Fail", "NotRead"  the result of a step;
//   "Series"                   a repeatability series: %1 load, %2 spread, %3 MPE, %4 result;
//   "PlotTitle", "PlotLoad", "PlotError"  the plot of the errors;
//   "VerdictPass", "VerdictFail", "VerdictIncomplete"  the verdict; "FailedSteps" %1 the steps;
//   "Date", "Signature"        the closing lines;
//   "Place"                    the prompt: %1 load with unit; "PlaceAt" %1 load, %2 position;
//   "NoStable"                 no stable reading in time: %1 seconds, %2 step;
//   "MaxBelowE" (%1 Max, %2 e), "PlaceFailed" (%1 step), "NoAnswer" (%1 step, the input ended)
//                              why quartel-cli verify stopped;
//   "CertificateName"          the proposed file name: %1 address (2 digits), %2 date;
//   the verification window: "verifyItem" (its menu item), "VerificationWindow" (its title), the
//   labels "ClassLabel", "InspectionLabel", "UnitLabel", "ELabel", "MaxLabel", the buttons "NewPlan",
//   "ReadButton", "SaveButton", "PrintButton", "CloseButton", the column "HeadDeltaL", the prompt's
//   states "Waiting", "WindowNoStable" (%1 seconds), "AllRead", the save dialog's "PdfFilter" and
//   messages "SaveFailed" (%1 file, %2 reason) under "MessageTitle".

#include "texts.h"

namespace texts {
TextTable Verification();
} // namespace texts
