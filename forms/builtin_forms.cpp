#include "forms/builtin_forms.h"

#include <algorithm>

#include "core/field.h"

namespace ks {
namespace {

using enum LegacyFieldType;

// Fields in slot order: field code, label text, type, PIN.
constexpr BuiltInFormField kFields0[] = {
    {501, 31000, UpperAll, false},    {502, 31001, BuiltInText, false},
    {503, 31002, Default, true},      {504, 31003, UpperFirst, false},
    {505, 31004, BuiltInText, false}, {506, 31005, BuiltInText, false},
    {507, 31006, Default, false},     {508, 31007, Default, false},
    {509, 31008, Default, false},     {510, 31009, Telephone, false},
    {511, 31010, Telephone, false},   {512, 31011, Default, false},
    {513, 31012, Default, false},     {514, 31013, Default, false},
    {515, 31014, Default, false},     {516, 31015, Default, false}};
constexpr BuiltInFormField kFields1[] = {
    {502, 31102, Telephone, false}, {503, 31103, BuiltInText, false}, {504, 31101, UpperAll, false},
    {505, 31109, UpperAll, false},  {506, 31110, UpperAll, false},    {507, 31104, Default, true},
    {508, 31105, Telephone, false}, {509, 31106, Default, false},     {510, 31107, Default, false},
    {511, 31108, Telephone, false}};
constexpr BuiltInFormField kFields2[] = {
    {503, 31200, BuiltInText, false}, {504, 31201, Default, false},
    {505, 31202, UpperAll, false},    {506, 31203, UpperAll, false},
    {507, 31204, BuiltInText, true},  {516, 31213, Default, true},
    {508, 31205, UpperAll, false},    {509, 31206, Default, false},
    {510, 31207, Default, false},     {511, 31208, Default, false},
    {512, 31210, Telephone, false},   {513, 31211, Telephone, false},
    {514, 31212, Telephone, false},   {517, 30004, Url, false},
    {518, 30009, Default, false},     {519, 30010, Default, true},
    {520, 30005, Email, false},       {521, 30006, Telephone, false},
    {522, 30007, Default, false},     {515, 31209, Url, false}};
constexpr BuiltInFormField kFields3[] = {
    {504, 31300, UpperFirst, false}, {505, 31301, UpperFirst, false},
    {506, 31302, UpperAll, false},   {507, 31303, Telephone, false},
    {508, 31314, Email, false},      {509, 31304, Telephone, false},
    {510, 31305, Telephone, false},  {511, 31306, Telephone, false},
    {512, 31307, Telephone, false},  {513, 31308, Telephone, false},
    {514, 31309, Telephone, false},  {515, 31310, Telephone, false},
    {516, 31311, Telephone, false},  {517, 31313, Telephone, false},
    {518, 31315, Email, false},      {519, 31316, Email, false},
    {520, 31317, Url, false},        {521, 31318, UpperAll, false},
    {522, 31319, UpperAll, false},   {523, 31320, UpperAll, false},
    {524, 31321, UpperFirst, false}, {525, 31328, UpperAll, false},
    {526, 31312, Telephone, false},  {527, 31322, UpperAll, false},
    {528, 31323, UpperAll, false},   {529, 31324, UpperAll, false},
    {530, 31329, Date, false},       {531, 31331, UpperAll, false},
    {532, 31330, Date, false},       {533, 31332, UpperAll, false},
    {534, 31325, UpperAll, false},   {535, 31326, UpperAll, false},
    {536, 31327, UpperAll, false}};
constexpr BuiltInFormField kFields4[] = {
    {505, 31400, Telephone, false}, {506, 31401, Telephone, false}, {507, 31402, Telephone, false},
    {508, 31403, Telephone, false}, {509, 31404, Telephone, false}, {510, 31405, Telephone, false},
    {511, 31406, Telephone, false}, {512, 31407, Telephone, false}, {513, 31408, Telephone, false},
    {514, 31409, Telephone, false}, {515, 31410, Telephone, false}, {516, 31411, Telephone, false},
    {517, 31412, Telephone, false}};
constexpr BuiltInFormField kFields5[] = {
    {506, 31500, UpperAll, false},    {507, 31501, Default, false},
    {508, 31502, Default, false},     {509, 31503, Default, false},
    {510, 31504, UpperAll, false},    {511, 31505, UpperAll, false},
    {512, 31521, UpperAll, false},    {513, 31522, UpperAll, false},
    {514, 31506, BuiltInText, false}, {515, 31507, BuiltInText, false},
    {516, 31508, Default, false},     {517, 31509, BuiltInText, false},
    {518, 31510, BuiltInText, false}, {519, 31511, BuiltInText, false},
    {520, 31512, BuiltInText, false}, {521, 31513, BuiltInText, false},
    {522, 31514, BuiltInText, false}, {523, 31515, BuiltInText, false},
    {524, 31516, BuiltInText, false}, {525, 31517, BuiltInText, false},
    {526, 31518, Default, false},     {527, 31519, BuiltInText, false},
    {528, 31520, BuiltInText, false}, {529, 31523, Default, false},
    {530, 31524, Default, false}};
constexpr BuiltInFormField kFields6[] = {
    {507, 31600, UpperAll, false},  {508, 31601, Email, false},   {509, 31602, Default, false},
    {510, 31603, Default, true},    {511, 31604, Default, false}, {512, 31605, Default, false},
    {513, 31606, Telephone, false}, {514, 31607, Email, false},   {515, 31619, Url, false},
    {516, 31608, Default, false},   {517, 31609, Default, false}, {518, 31610, Default, false},
    {519, 31611, Default, false},   {520, 31612, Default, false}, {521, 31613, Default, false},
    {522, 31614, Default, false},   {523, 31615, Default, false}, {524, 31616, Default, false},
    {525, 31617, Default, false},   {526, 31618, Default, false}, {527, 31620, Default, false},
    {528, 31621, Default, false}};
constexpr BuiltInFormField kFields7[] = {
    {508, 31700, Default, false},     {509, 31701, UpperAll, false},
    {510, 31702, UpperAll, false},    {511, 31703, UpperAll, false},
    {512, 31704, BuiltInText, false}, {513, 31713, Default, true},
    {514, 31711, UpperAll, false},    {515, 31712, UpperAll, false},
    {516, 31709, UpperAll, false},    {517, 31710, Default, false},
    {518, 31715, Default, false},     {519, 31705, Telephone, false},
    {520, 31714, Telephone, false},   {521, 31706, Default, false},
    {522, 31707, Default, false},     {523, 31708, BuiltInText, false}};
constexpr BuiltInFormField kFields8[] = {
    {509, 31800, UpperAll, false},   {510, 31801, UpperFirst, false},
    {511, 31805, Default, false},    {512, 31808, UpperAll, false},
    {513, 31809, Telephone, false},  {514, 31806, Default, false},
    {515, 31807, Default, false},    {516, 31802, UpperFirst, false},
    {517, 31803, UpperFirst, false}, {518, 31804, UpperFirst, false},
    {519, 31814, Default, false},    {520, 31815, Default, false},
    {521, 31816, Default, false},    {522, 31810, Telephone, false},
    {523, 31811, UpperAll, false},   {524, 31812, UpperAll, false},
    {525, 31813, UpperAll, false}};
constexpr BuiltInFormField kFields9[] = {
    {510, 31900, UpperAll, false}, {511, 31901, BuiltInText, false}, {512, 31902, Default, true},
    {513, 31903, UpperAll, false}, {514, 31904, UpperAll, false},    {515, 31905, UpperAll, false},
    {516, 31906, Default, false},  {517, 31907, Default, false},     {518, 31908, Telephone, false},
    {519, 31909, Url, false}};
constexpr BuiltInFormField kFields10[] = {{511, 32000, UpperFirst, false},
                                          {512, 32001, Default, true},
                                          {513, 32002, UpperFirst, false},
                                          {514, 32003, Default, false},
                                          {515, 32004, UpperFirst, false}};
constexpr BuiltInFormField kFields11[] = {
    {513, 32100, UpperFirst, false}, {514, 32101, Date, false}, {515, 32102, Default, false}};
constexpr BuiltInFormField kFields12[] = {
    {514, 32200, Url, false},        {515, 32201, Default, false},
    {516, 32202, Default, true},     {517, 32203, Default, false},
    {518, 32210, Date, false},       {519, 32204, UpperAll, false},
    {520, 32205, UpperFirst, false}, {521, 32206, UpperFirst, false},
    {522, 32207, UpperFirst, false}, {523, 32208, Telephone, false},
    {524, 32209, Email, false}};
constexpr BuiltInFormField kFields13[] = {
    {515, 32300, UpperFirst, false},  {516, 32301, UpperFirst, false},
    {517, 32302, BuiltInText, false}, {518, 32303, UpperFirst, false},
    {519, 32304, UpperAll, false},    {520, 32305, UpperFirst, false},
    {521, 32306, Default, false},     {522, 32307, Default, false},
    {523, 32308, Default, false},     {524, 32309, UpperFirst, false},
    {525, 32310, Default, false},     {526, 32311, UpperFirst, false},
    {527, 32312, Date, false},        {528, 32313, UpperFirst, false},
    {529, 32314, Default, false},     {530, 32315, Telephone, false},
    {531, 32316, Telephone, false}};
constexpr BuiltInFormField kFields14[] = {
    {516, 32400, UpperFirst, false}, {517, 32401, Url, false},    {518, 32407, Default, false},
    {519, 32402, Default, false},    {520, 32403, Default, true}, {521, 32404, Telephone, false},
    {522, 32405, Email, false},      {523, 32406, Default, false}};
constexpr BuiltInFormField kFields15[] = {
    {517, 32500, UpperFirst, false}, {518, 32501, UpperFirst, false},
    {519, 32502, Default, false},    {520, 32503, UpperFirst, false},
    {521, 32504, Default, false},    {522, 32505, UpperAll, false},
    {523, 32506, Telephone, false},  {524, 32507, UpperAll, false},
    {525, 32508, Default, false},    {526, 32509, Default, false},
    {527, 32510, UpperAll, false},   {528, 32511, Telephone, false},
    {529, 32512, Default, false}};
constexpr BuiltInFormField kFields16[] = {
    {518, 32600, UpperAll, false},   {519, 32606, UpperFirst, false},
    {520, 32601, UpperFirst, false}, {521, 32605, UpperFirst, false},
    {522, 32602, UpperFirst, false}, {523, 32603, UpperFirst, false},
    {524, 32604, UpperFirst, false}, {525, 32607, UpperFirst, false},
    {526, 32608, Date, false},       {527, 32609, UpperFirst, false},
    {528, 32610, UpperFirst, false}, {529, 32611, UpperFirst, false},
    {530, 32612, Default, false},    {531, 32613, UpperAll, false},
    {532, 32614, Telephone, false},  {533, 32615, UpperAll, false},
    {534, 32616, Telephone, false},  {535, 32617, Default, false}};
constexpr BuiltInFormField kFields17[] = {
    {519, 32700, UpperAll, false},   {520, 32701, UpperAll, false},
    {521, 32702, UpperAll, false},   {522, 32703, UpperFirst, false},
    {523, 32704, UpperFirst, false}, {524, 32706, Date, false},
    {525, 32705, UpperFirst, false}, {526, 32707, UpperFirst, false},
    {527, 32708, UpperFirst, false}, {528, 32709, UpperFirst, false},
    {529, 32711, UpperFirst, false}, {530, 32710, Telephone, false}};
constexpr BuiltInFormField kFields18[] = {
    {520, 32800, UpperFirst, false}, {521, 32801, Default, false}, {522, 32802, Default, false},
    {523, 32803, Default, false},    {524, 32804, Default, false}, {525, 32805, Default, false},
    {526, 32806, Default, false},    {527, 32807, Default, false}};
constexpr BuiltInFormField kFields19[] = {
    {521, 32902, UpperAll, false}, {522, 32900, BuiltInText, false}, {523, 32901, Default, false}};
constexpr BuiltInFormField kFields20[] = {
    {522, 33000, UpperAll, false}, {523, 33002, Default, false},   {524, 33001, Default, false},
    {525, 33003, Default, false},  {526, 33004, Default, false},   {527, 33005, UpperAll, false},
    {528, 33006, Url, false},      {529, 33007, Telephone, false}, {530, 33008, Email, false},
    {531, 33009, UpperAll, false}, {532, 33010, Default, false},   {533, 33011, Date, false},
    {534, 33012, Default, false},  {535, 33013, Default, false},   {536, 33014, Default, false}};
constexpr BuiltInFormField kFields21[] = {
    {523, 33100, UpperAll, false}, {524, 33101, UpperAll, false},  {525, 33115, UpperAll, false},
    {526, 33102, UpperAll, false}, {527, 33107, Telephone, false}, {528, 33103, Url, false},
    {529, 33104, Default, false},  {530, 33105, Default, false},   {531, 33106, Default, true},
    {532, 33108, Default, false},  {533, 33111, Default, false},   {534, 33112, Default, false},
    {535, 33113, Default, false},  {536, 33114, Default, false},   {537, 33109, Default, false},
    {538, 33110, Default, false}};
constexpr BuiltInFormField kFields22[] = {
    {524, 33200, UpperAll, false},   {525, 33201, UpperAll, false},
    {526, 33202, UpperAll, false},   {527, 33203, UpperAll, false},
    {528, 33204, Default, false},    {529, 33205, Default, false},
    {530, 33206, Telephone, false},  {531, 33207, Date, false},
    {532, 33208, Time, false},       {533, 33209, Date, false},
    {534, 33210, Time, false},       {535, 33211, Default, false},
    {536, 33212, Telephone, false},  {537, 33213, Default, false},
    {538, 33214, Default, false},    {539, 33215, Telephone, false},
    {540, 33219, Telephone, false},  {541, 33220, Telephone, false},
    {542, 33221, Telephone, false},  {543, 33222, Default, false},
    {544, 33225, Default, false},    {545, 33226, UpperFirst, false},
    {546, 33216, UpperFirst, false}, {547, 33217, Default, false},
    {548, 33218, Default, false},    {549, 33223, YesNo, false},
    {550, 33224, Date, false}};
constexpr BuiltInFormField kFields23[] = {
    {525, 33300, UpperAll, false},   {526, 33301, BuiltInText, false},
    {527, 33306, UpperAll, false},   {528, 33302, Telephone, false},
    {529, 33303, Telephone, false},  {530, 33323, BuiltInText, false},
    {531, 33304, UpperFirst, false}, {532, 33305, Default, false},
    {533, 33317, UpperFirst, false}, {534, 33318, UpperFirst, false},
    {535, 33319, UpperFirst, false}, {536, 33309, UpperFirst, false},
    {537, 33310, Default, false},    {538, 33320, UpperFirst, false},
    {539, 33321, UpperFirst, false}, {540, 33322, UpperFirst, false},
    {541, 33307, UpperFirst, false}, {542, 33308, UpperFirst, false},
    {543, 33311, Default, false},    {544, 33312, Default, false},
    {545, 33313, Default, false},    {546, 33314, Default, false},
    {547, 33315, YesNo, false},      {548, 33316, Date, false}};
constexpr BuiltInFormField kFields24[] = {
    {530, 33400, UpperAll, false}, {531, 33401, UpperFirst, false}, {532, 33402, Telephone, false},
    {533, 33403, UpperAll, false}, {534, 33404, UpperAll, false},   {535, 33405, UpperAll, false},
    {536, 33406, Default, false},  {537, 33407, Default, false},    {538, 33408, Default, false},
    {539, 33409, Default, false},  {540, 33410, Default, false},    {541, 33411, Default, false},
    {542, 33412, Default, false},  {543, 33413, Default, false},    {544, 33414, YesNo, false},
    {545, 33415, Date, false}};
constexpr BuiltInFormField kFields25[] = {
    {526, 33500, Date, false},     {527, 33501, UpperAll, false},  {528, 33502, UpperAll, false},
    {529, 33503, UpperAll, false}, {530, 33512, Default, false},   {531, 33510, Default, false},
    {532, 33509, Default, false},  {533, 33513, UpperAll, false},  {534, 33524, DateAndTime, false},
    {535, 33514, Default, false},  {536, 33515, UpperAll, false},  {537, 33525, DateAndTime, false},
    {538, 33516, Default, false},  {539, 33523, UpperAll, false},  {540, 33504, UpperAll, false},
    {541, 33505, UpperAll, false}, {542, 33506, UpperAll, false},  {543, 33507, Telephone, false},
    {544, 33508, Default, false},  {545, 33511, Telephone, false}, {546, 33517, Default, false},
    {547, 33518, Default, false},  {548, 33519, Default, false},   {549, 33520, UpperFirst, false},
    {550, 33521, YesNo, false},    {551, 33522, Date, false}};
constexpr BuiltInFormField kFields26[] = {
    {527, 33600, UpperAll, false}, {528, 33601, Date, false},     {529, 33602, UpperFirst, false},
    {530, 33603, Time, false},     {531, 33604, UpperAll, false}, {532, 33605, Default, false},
    {533, 33606, Default, false},  {534, 33607, UpperAll, false}, {535, 33608, Default, false},
    {536, 33609, Default, false},  {537, 33608, Default, false},  {538, 33610, Default, false},
    {539, 33604, UpperAll, false}, {540, 33605, Default, false},  {541, 33606, Default, false},
    {542, 33607, UpperAll, false}, {543, 33608, Default, false},  {544, 33609, Default, false},
    {545, 33608, Default, false},  {546, 33610, Default, false},  {547, 33604, UpperAll, false},
    {548, 33605, Default, false},  {549, 33606, Default, false},  {550, 33607, UpperAll, false},
    {551, 33608, Default, false},  {552, 33609, Default, false},  {553, 33608, Default, false},
    {554, 33610, Default, false},  {555, 33604, UpperAll, false}, {556, 33605, Default, false},
    {557, 33606, Default, false},  {558, 33607, UpperAll, false}, {559, 33608, Default, false},
    {560, 33609, Default, false},  {561, 33608, Default, false},  {562, 33610, Default, false},
    {563, 33611, YesNo, false},    {564, 33612, Default, false}};
constexpr BuiltInFormField kFields27[] = {
    {528, 33700, UpperAll, false}, {529, 33701, UpperAll, false}, {530, 33702, UpperFirst, false},
    {531, 33710, Default, false},  {532, 33711, Default, false},  {533, 33705, Telephone, false},
    {534, 33703, UpperAll, false}, {535, 33704, UpperAll, false}, {536, 33706, Default, false},
    {537, 33707, Default, false},  {538, 33708, Default, false},  {539, 33709, Default, false},
    {540, 33712, Default, false},  {541, 33713, YesNo, false},    {542, 33714, Date, false}};
constexpr BuiltInFormField kFields28[] = {
    {529, 33800, UpperAll, false},  {530, 33801, UpperFirst, false}, {531, 33802, Default, false},
    {532, 33803, Default, false},   {533, 33804, UpperFirst, false}, {534, 33805, Default, false},
    {535, 33806, Telephone, false}, {536, 33807, Telephone, false},  {537, 33808, UpperAll, false},
    {538, 33809, UpperAll, false},  {539, 33810, UpperAll, false},   {540, 33811, Default, false},
    {541, 33812, Default, false}};
constexpr BuiltInFormField kFields29[] = {
    {531, 33900, Default, false},  {532, 33901, UpperAll, false},  {533, 33902, UpperAll, false},
    {534, 33903, Default, false},  {535, 33904, Default, false},   {536, 33905, UpperFirst, false},
    {537, 33906, UpperAll, false}, {538, 33907, Telephone, false}, {539, 33908, Default, false},
    {540, 33909, Date, false},     {541, 33910, Telephone, false}, {542, 33911, UpperAll, false},
    {543, 33912, Telephone, false}};
constexpr BuiltInFormField kFields30[] = {
    {532, 34009, UpperAll, false},   {533, 34000, Default, false},
    {534, 34001, UpperAll, false},   {535, 34002, UpperAll, false},
    {536, 34003, UpperAll, false},   {537, 34004, UpperAll, false},
    {538, 34005, Default, false},    {539, 34006, Default, false},
    {540, 34007, Default, false},    {541, 34010, Telephone, false},
    {542, 34008, Default, false},    {543, 34011, UpperFirst, false},
    {544, 34011, UpperFirst, false}, {545, 34011, UpperFirst, false}};
constexpr BuiltInFormField kFields31[] = {
    {533, 34100, UpperAll, false}, {534, 34101, Default, false},  {535, 34102, UpperAll, false},
    {536, 34103, UpperAll, false}, {537, 34104, Default, false},  {538, 34105, Default, false},
    {539, 34106, Default, false},  {540, 34107, Default, false},  {541, 34108, Default, false},
    {542, 34109, Default, false},  {543, 34110, Default, false},  {544, 34111, Default, false},
    {545, 34112, Default, false},  {546, 34113, Default, false},  {547, 34114, Default, false},
    {548, 34115, Default, false},  {549, 34116, Telephone, false}};
constexpr BuiltInFormField kFields32[] = {
    {534, 34200, UpperAll, false},   {535, 34210, UpperAll, false},
    {536, 34209, Date, false},       {537, 34201, Telephone, false},
    {538, 34202, Telephone, false},  {539, 34203, Url, false},
    {540, 34204, UpperAll, false},   {541, 34205, Telephone, false},
    {542, 34206, Default, false},    {543, 34207, Date, false},
    {544, 34208, UpperFirst, false}, {545, 34207, Date, false},
    {546, 34208, UpperFirst, false}, {547, 34207, Date, false},
    {548, 34208, UpperFirst, false}, {549, 34207, Date, false},
    {550, 34208, UpperFirst, false}};
constexpr BuiltInFormField kFields33[] = {
    {535, 34300, Default, false}, {536, 34301, Default, false}, {537, 34302, Default, true},
    {538, 34303, Default, false}, {539, 34304, Default, false}, {540, 34305, Default, false},
    {541, 34306, Default, false}, {542, 34307, Default, false}, {543, 34308, Default, false},
    {544, 34309, Default, false}, {545, 34310, Default, false}, {546, 34311, Default, false},
    {547, 34312, Default, false}, {548, 34313, Default, false}, {549, 34314, Default, false},
    {550, 34315, Default, false}, {551, 34316, Default, false}, {552, 34317, Default, false},
    {553, 34318, Default, false}, {554, 34319, Default, false}, {555, 34320, Default, false},
    {556, 34321, Default, false}, {557, 34322, Default, false}, {558, 34323, Default, false},
    {559, 34324, Default, false}, {560, 34325, Default, false}, {561, 34326, Default, false},
    {562, 34327, Default, false}, {563, 34328, Default, false}, {564, 34329, Default, false},
    {565, 34330, Default, false}};
constexpr BuiltInFormField kFields34[] = {
    {536, 34401, Url, false},        {537, 34402, Default, false},    {538, 34403, Default, true},
    {539, 34404, UpperFirst, false}, {540, 34404, UpperFirst, false}, {541, 34405, Default, false},
    {542, 34405, Default, false},    {543, 34405, Default, false},    {544, 34405, Default, false},
    {545, 34405, Default, false}};
constexpr BuiltInFormField kFields35[] = {
    {537, 34500, Default, false},  {538, 34501, Default, false},  {539, 34502, UpperFirst, false},
    {540, 34503, UpperAll, false}, {541, 34504, UpperAll, false}, {542, 34505, Default, false},
    {543, 34506, Default, false},  {544, 34511, Default, false},  {545, 34512, Telephone, false},
    {546, 34507, Default, false},  {547, 34508, Default, false},  {548, 34509, YesNo, false},
    {549, 34510, Date, false}};
constexpr BuiltInFormField kFields36[] = {
    {538, 34600, Telephone, false},  {539, 34601, Telephone, false},
    {540, 34602, Url, false},        {541, 34603, Default, false},
    {542, 34604, Default, false},    {543, 34608, Default, false},
    {544, 34605, UpperAll, false},   {545, 34606, UpperAll, false},
    {546, 34607, UpperAll, false},   {547, 34609, UpperFirst, false},
    {548, 34609, UpperFirst, false}, {549, 34609, UpperFirst, false},
    {550, 34609, UpperFirst, false}, {551, 34610, UpperFirst, false},
    {552, 34610, UpperFirst, false}, {553, 34610, UpperFirst, false},
    {554, 34610, UpperFirst, false}, {555, 34610, UpperFirst, false},
    {556, 34610, UpperFirst, false}, {557, 34610, UpperFirst, false},
    {558, 34611, UpperFirst, false}, {559, 34611, UpperFirst, false},
    {560, 34611, UpperFirst, false}, {561, 34611, UpperFirst, false},
    {562, 34611, UpperFirst, false}, {563, 34611, UpperFirst, false},
    {564, 34611, UpperFirst, false}};
constexpr BuiltInFormField kFields37[] = {
    {539, 34700, Telephone, false},  {540, 34701, Telephone, false},
    {541, 34702, Default, false},    {542, 34703, YesNo, false},
    {543, 34704, YesNo, false},      {544, 34706, UpperFirst, false},
    {545, 34705, UpperFirst, false}, {546, 34707, UpperFirst, false},
    {547, 34708, UpperAll, false},   {548, 34709, UpperAll, false},
    {549, 34710, UpperAll, false},   {550, 34711, UpperFirst, false},
    {551, 34711, UpperFirst, false}, {552, 34711, UpperFirst, false},
    {553, 34711, UpperFirst, false}, {554, 34712, UpperFirst, false},
    {555, 34712, UpperFirst, false}, {556, 34712, UpperFirst, false},
    {557, 34712, UpperFirst, false}, {558, 34712, UpperFirst, false},
    {559, 34712, UpperFirst, false}, {560, 34712, UpperFirst, false},
    {561, 34713, UpperFirst, false}, {562, 34713, UpperFirst, false},
    {563, 34713, UpperFirst, false}, {564, 34713, UpperFirst, false},
    {565, 34713, UpperFirst, false}, {566, 34713, UpperFirst, false},
    {567, 34713, UpperFirst, false}};
constexpr BuiltInFormField kFields38[] = {
    {540, 34800, UpperFirst, false}, {541, 34801, Date, false},
    {542, 34802, Default, false},    {543, 34803, Default, false},
    {544, 34804, Default, false},    {545, 34805, Default, false},
    {546, 34806, Default, false},    {547, 34807, Default, false},
    {548, 34808, UpperFirst, false}, {549, 34809, UpperFirst, false},
    {550, 34810, UpperFirst, false}, {551, 34811, Default, false},
    {552, 34812, Default, false},    {553, 34813, UpperFirst, false},
    {554, 34814, UpperFirst, false}};
constexpr BuiltInFormField kFields39[] = {
    {541, 34900, Default, false},  {542, 34911, Default, false}, {543, 34902, Default, false},
    {544, 34903, Default, false},  {545, 34901, Default, false}, {546, 34904, Default, false},
    {547, 34905, Default, false},  {548, 34906, Default, false}, {549, 34909, Default, false},
    {550, 34910, Default, false},  {551, 34907, Default, false}, {552, 34908, Default, false},
    {553, 34912, Default, false},  {554, 34921, Default, false}, {555, 34914, Default, false},
    {556, 34913, Default, false},  {557, 34918, Default, false}, {558, 34915, Default, false},
    {559, 34916, UpperAll, false}, {560, 34917, Default, false}, {561, 34919, Default, false},
    {562, 34920, Default, false},  {563, 34922, Url, false}};
constexpr BuiltInFormField kFields40[] = {
    {512, 35008, Default, false}, {513, 35001, Default, false}, {514, 35018, Default, false},
    {515, 35005, Default, false}, {516, 35017, Default, false}, {517, 35003, Default, false},
    {518, 35016, Default, false}, {519, 35010, Default, false}, {520, 35009, Default, false},
    {521, 35007, Default, false}, {522, 35004, Default, false}, {523, 35020, Default, false},
    {524, 35012, Default, false}, {525, 35014, Default, false}, {526, 35002, Default, false},
    {527, 35015, Default, false}, {528, 35019, Default, false}, {529, 35000, Default, false},
    {530, 35013, Default, false}, {531, 35006, Default, false}, {532, 35011, Default, false}};
constexpr BuiltInFormField kFields41[] = {
    {542, 34401, Url, false}, {543, 34402, Default, false}, {544, 34403, Default, true},
    {545, 34401, Url, false}, {546, 34402, Default, false}, {547, 34403, Default, true},
    {548, 34401, Url, false}, {549, 34402, Default, false}, {550, 34403, Default, true},
    {551, 34401, Url, false}, {552, 34402, Default, false}, {553, 34403, Default, true},
    {554, 34401, Url, false}, {555, 34402, Default, false}, {556, 34403, Default, true}};
constexpr BuiltInFormField kFields42[] = {
    {543, 31333, UpperAll, false},  {544, 31314, Email, false},     {545, 31303, Telephone, false},
    {546, 31305, Telephone, false}, {547, 31333, UpperAll, false},  {548, 31314, Email, false},
    {549, 31303, Telephone, false}, {550, 31305, Telephone, false}, {551, 31333, UpperAll, false},
    {552, 31314, Email, false},     {553, 31303, Telephone, false}, {554, 31305, Telephone, false},
    {555, 31333, UpperAll, false},  {556, 31314, Email, false},     {557, 31303, Telephone, false},
    {558, 31305, Telephone, false}, {559, 31333, UpperAll, false},  {560, 31314, Email, false},
    {561, 31303, Telephone, false}, {562, 31305, Telephone, false}, {563, 31333, UpperAll, false},
    {564, 31314, Email, false},     {565, 31303, Telephone, false}, {566, 31305, Telephone, false},
    {567, 31333, UpperAll, false},  {568, 31314, Email, false},     {569, 31303, Telephone, false},
    {570, 31305, Telephone, false}, {571, 31333, UpperAll, false},  {572, 31314, Email, false},
    {573, 31303, Telephone, false}, {574, 31305, Telephone, false}, {575, 31333, UpperAll, false},
    {576, 31314, Email, false},     {577, 31303, Telephone, false}, {578, 31305, Telephone, false},
    {579, 31333, UpperAll, false},  {580, 31314, Email, false},     {581, 31303, Telephone, false},
    {582, 31305, Telephone, false}};

constexpr std::array<BuiltInForm, kBuiltInFormCount> kForms{{
    {500, 39000, 110, 2, kFields0},  {501, 39001, 44, 1, kFields1},
    {502, 39002, 44, 1, kFields2},   {503, 39003, 30, 3, kFields3},
    {504, 39004, 20, 0, kFields4},   {505, 39005, 57, 1, kFields5},
    {506, 39006, 67, 1, kFields6},   {507, 39007, 79, 1, kFields7},
    {508, 39008, 48, 5, kFields8},   {509, 39009, 76, 2, kFields9},
    {510, 39010, 74, 1, kFields10},  {512, 39011, 50, 0, kFields11},
    {513, 39012, 107, 1, kFields12}, {514, 39013, 108, 0, kFields13},
    {515, 39014, 5, 0, kFields14},   {516, 39015, 50, 2, kFields15},
    {517, 39016, 109, 4, kFields16}, {518, 39017, 47, 1, kFields17},
    {519, 39018, 48, 1, kFields18},  {520, 39019, 79, 2, kFields19},
    {521, 39020, 51, 2, kFields20},  {522, 39021, 71, 3, kFields21},
    {523, 39024, 1, 4, kFields22},   {524, 39025, 1, 2, kFields23},
    {529, 39028, 2, 2, kFields24},   {525, 39022, 1, 5, kFields25},
    {526, 39023, 1, 4, kFields26},   {527, 39026, 2, 0, kFields27},
    {528, 39027, 78, 0, kFields28},  {530, 39029, 2, 3, kFields29},
    {531, 39030, 73, 2, kFields30},  {532, 39031, 2, 1, kFields31},
    {533, 39034, 2, 2, kFields32},   {534, 39035, 131, 1, kFields33},
    {535, 39036, 68, 1, kFields34},  {536, 39037, 98, 1, kFields35},
    {537, 39038, 100, 1, kFields36}, {538, 39039, 100, 1, kFields37},
    {539, 39040, 112, 2, kFields38}, {540, 39041, 85, 0, kFields39},
    {511, 39033, 89, 0, kFields40},  {541, 39042, 68, 0, kFields41},
    {542, 39043, 30, 0, kFields42},
}};

// Field codes run on from the form code (code + 1 + slot), except in form 2, whose codes were
// assigned out of order.
consteval bool field_codes_follow_rule() {
    for (size_t i = 0; i < kForms.size(); ++i) {
        if (i == 2) continue;
        for (size_t slot = 0; slot < kForms[i].fields.size(); ++slot) {
            if (kForms[i].fields[slot].field_code != kForms[i].code + 1 + slot) return false;
        }
    }
    return true;
}
static_assert(field_codes_follow_rule());

consteval bool field_counts_fit() {
    for (const BuiltInForm& form : kForms) {
        if (form.fields.empty() || form.fields.size() > kMaxBuiltInFormFields) return false;
    }
    return true;
}
static_assert(field_counts_fit());

constexpr uint16_t kind(FieldKind k) {
    return static_cast<uint16_t>(k);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::span<const BuiltInForm> builtin_forms() {
    return kForms;
}

const BuiltInForm* builtin_form(size_t index) {
    return index < kForms.size() ? &kForms[index] : nullptr;
}

const BuiltInForm* builtin_form_by_code(uint32_t code) {
    auto it = std::ranges::find(kForms, code, &BuiltInForm::code);
    return it != kForms.end() ? &*it : nullptr;
}

std::optional<uint32_t> is_builtin_form(const FormId& id) {
    return builtin_form_index(id, static_cast<uint32_t>(kBuiltInFormCount));
}

uint16_t field_kind_for_new_card(LegacyFieldType type, bool pin) {
    if (pin) return kind(FieldKind::Pin);
    switch (type) {
        case Url:
            return kind(FieldKind::WebAddress);
        case Date:
            return kind(FieldKind::Date);
        case Telephone:
            return kind(FieldKind::Telephone);
        case Email:
            return kind(FieldKind::Email);
        case Time:
            return kind(FieldKind::Time);
        case DateAndTime:
            return kind(FieldKind::DateAndTime);
        default:
            return kind(FieldKind::Text);
    }
}

// Unlike a new card, converted dates, times and styled or unnamed types become kind 15 text.
uint16_t field_kind_for_conversion(LegacyFieldType type, bool pin) {
    if (pin) return kind(FieldKind::Pin);
    switch (type) {
        case Default:
            return kind(FieldKind::Text);
        case Url:
            return kind(FieldKind::WebAddress);
        case Telephone:
            return kind(FieldKind::Telephone);
        case Email:
            return kind(FieldKind::Email);
        default:
            return kind(FieldKind::CapitalisedText);
    }
}

std::optional<LegacyFieldType> legacy_type_from_keyword(std::string_view keyword, bool* pin) {
    for (const LegacyTypeKeyword& entry : kLegacyTypeKeywords) {
        if (equal_ignoring_case(entry.keyword, keyword)) {
            if (pin != nullptr) *pin = entry.pin;
            return entry.type;
        }
    }
    return std::nullopt;
}

std::string_view legacy_type_keyword(LegacyFieldType type, bool pin) {
    for (const LegacyTypeKeyword& entry : kLegacyTypeKeywords) {
        if (entry.type == type && entry.pin == pin) return entry.keyword;
    }
    return {};
}

}  // namespace ks
