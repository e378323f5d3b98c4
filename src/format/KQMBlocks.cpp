#include "KQMTypes.h"

#include "Format.h"
#include "Stream.h"

#include <algorithm>
#include <limits>
#include <span>

namespace {

struct FieldRow {
    std::int32_t First;
    std::int32_t Last;
    const char* Name;
    TKind Kind;
    std::int32_t Size;
    std::int32_t Cols;
};

void AddRows(TBlock& Block, std::span<const FieldRow> Rows) {
    for (const FieldRow& R : Rows) Block.Add({R.First, R.Last}, R.Name, R.Kind, R.Size, R.Cols);
}

// clang-format off
const FieldRow HeaderPreambleRows[] = {
    {0, 3, "HeaderDwordSize", fkUINT, 4, 1},
    {4, 7, "ProtocolFlags", fkBITS, 4, 1},
    {8, 9, "SubheaderIdMain", fkUINT, 2, 1},
    {10, 11, "SubheaderIdSub", fkUINT, 2, 1},
};

const FieldRow Subheader_1_0Rows[] = {
    {12, 13, "ParameterIdMain", fkUINT, 2, 1},
    {14, 15, "ParameterIdSub", fkUINT, 2, 1},
    {16, 17, "MeasIdMain", fkUINT, 2, 1},
    {18, 19, "MeasIdSub", fkUINT, 2, 1},
};

const FieldRow Subheader_2_0Rows[] = {
    {12, 12, "ParameterIdMain", fkUINT, 1, 1},
    {13, 13, "ParameterIdSub", fkUINT, 1, 1},
    {14, 14, "MeasIdMain", fkUINT, 1, 1},
    {15, 15, "MeasIdSub", fkUINT, 1, 1},
    {16, 16, "SampleBlockIdMain", fkUINT, 1, 1},
    {17, 17, "SampleBlockIdSub", fkUINT, 1, 1},
    {18, 18, "HousekeepingIdMain", fkUINT, 1, 1},
    {19, 19, "HousekeepingIdSub", fkUINT, 1, 1},
};

const FieldRow ParameterField_2_0Rows[] = {
    {20, 27, "SerialNumber", fkSTRING, 8, 1},
    {28, 35, "InstrumentType", fkSTRING, 8, 1},
    {36, 39, "InstrumentModel", fkUINT, 2, 1},
    {40, 43, "SyncField", fkUINT, 4, 1},
    {44, 47, "BeamAperture", fkUINT, 2, 1},
    {48, 51, "BeamDivergence", fkUINT, 2, 1},
    {52, 55, "BeamFocus", fkUINT, 2, 1},
    {56, 59, "LineAngleCircleCount", fkUINT, 4, 1},
    {60, 61, "NumberFacets", fkUINT, 1, 1},
    {62, 63, "LineAngleCoarseRes", fkUINT, 2, 1},
    {64, 67, "LineAngleOffset", fkUINT, 4, 1},
    {68, 71, "RangeCorrPPM", fkINT, 4, 1},
    {72, 75, "LoChannelRangeOffset", fkINT, 4, 1},
    {76, 79, "HiChannelRangeOffset", fkINT, 4, 1},
    {80, 91, "CorrLaserOrigin", fkSINGLE, 4, 3},
    {92, 103, "CorrLaserDir", fkSINGLE, 4, 3},
    {104, 115, "CorrMirrorAxis", fkSINGLE, 4, 3},
    {116, 127, "CorrOffset", fkSINGLE, 4, 3},
    {128, 139, "CorrFacetNormal1", fkSINGLE, 4, 3},
    {140, 143, "CorrFacetDistance1", fkSINGLE, 4, 1},
    {144, 155, "CorrFacetNormal2", fkSINGLE, 4, 3},
    {156, 159, "CorrFacetDistance2", fkSINGLE, 4, 1},
    {160, 171, "CorrFacetNormal3", fkSINGLE, 4, 3},
    {172, 175, "CorrFacetDistance3", fkSINGLE, 4, 1},
    {176, 187, "CorrFacetNormal4", fkSINGLE, 4, 3},
    {188, 191, "CorrFacetDistance4", fkSINGLE, 4, 1},
    {192, 703, "LinearizeArray", fkUINT, 2, 256},
    {704, 1215, "DelogArray", fkUINT, 2, 256},
    {1216, 1815, "AmplCorrArrayLO", fkINT, 2, 300},
    {1816, 2415, "AmplCorrArrayHI", fkINT, 2, 300},
    {2416, 2419, "LaserPulseRate", fkUINT, 4, 1},
    {2420, 2435, "LineScanStartValue", fkUINT, 4, 4},
    {2436, 2451, "LineScanIncrement", fkUINT, 4, 4},
    {2452, 2455, "LineScanMeasNumber", fkUINT, 4, 1},
    {2456, 2459, "RangeGate", fkUINT, 2, 1},
    {2460, 2463, "SampleBlockLen", fkUINT, 1, 4},
    {2464, 2467, "PreQuadCount", fkUINT, 1, 4},
    {2468, 2471, "ADCThreshold", fkUINT, 1, 4},
    {2472, 2475, "LastPulseSuppression", fkUINT, 1, 4},
    {2476, 2479, "FirstBlocks", fkUINT, 1, 1},
    {2480, 2483, "LastBlocks", fkUINT, 1, 1},
};

const FieldRow ParameterField_2_1Rows[] = {
    {2484, 2487, "FrameEncoderCircleCount", fkUINT, 4, 1},
    {2488, 2491, "FrameEncoderOffset", fkUINT, 4, 1},
};

const FieldRow ParameterField_3_0Rows[] = {
    {20, 27, "SerialNumber", fkSTRING, 8, 1},
    {28, 35, "InstrumentType", fkSTRING, 8, 1},
    {36, 39, "InstrumentModel", fkUINT, 2, 1},
    {40, 43, "SyncField", fkUINT, 4, 1},
    {44, 47, "BeamAperture", fkUINT, 2, 1},
    {48, 51, "BeamDivergence", fkUINT, 2, 1},
    {52, 55, "BeamFocus", fkUINT, 2, 1},
    {56, 59, "LineAngleCircleCount", fkUINT, 4, 1},
    {60, 61, "NumberFacets", fkUINT, 1, 1},
    {62, 63, "LineAngleCoarseRes", fkUINT, 2, 1},
    {64, 67, "LineAngleOffset", fkUINT, 4, 1},
    {68, 71, "LineEncoderFineCountOffset", fkUINT, 2, 1},
    {72, 75, "RangeCorrPPM", fkINT, 4, 1},
    {76, 79, "LoChannelRangeOffset", fkINT, 4, 1},
    {80, 83, "HiChannelRangeOffset", fkINT, 4, 1},
    {84, 95, "CorrLaserOrigin", fkSINGLE, 4, 3},
    {96, 107, "CorrLaserDir", fkSINGLE, 4, 3},
    {108, 119, "CorrMirrorAxis", fkSINGLE, 4, 3},
    {120, 131, "CorrOffset", fkSINGLE, 4, 3},
    {132, 143, "CorrFacetNormal1", fkSINGLE, 4, 3},
    {144, 147, "CorrFacetDistance1", fkSINGLE, 4, 1},
    {148, 159, "CorrFacetNormal2", fkSINGLE, 4, 3},
    {160, 163, "CorrFacetDistance2", fkSINGLE, 4, 1},
    {164, 175, "CorrFacetNormal3", fkSINGLE, 4, 3},
    {176, 179, "CorrFacetDistance3", fkSINGLE, 4, 1},
    {180, 191, "CorrFacetNormal4", fkSINGLE, 4, 3},
    {192, 195, "CorrFacetDistance4", fkSINGLE, 4, 1},
    {196, 707, "LinearizeArray", fkUINT, 2, 256},
    {708, 1219, "DelogArray", fkUINT, 2, 256},
    {1220, 1819, "AmplCorrArrayLO", fkINT, 2, 300},
    {1820, 2419, "AmplCorrArrayHI", fkINT, 2, 300},
    {2420, 4467, "ADCThresholdArrayLO", fkUINT, 1, 2048},
    {4468, 6515, "ADCThresholdArrayHI", fkUINT, 1, 2048},
    {6516, 6523, "ADCOffset", fkUINT, 2, 4},
    {6524, 6527, "LastPulseSuppression", fkUINT, 1, 4},
    {6528, 6531, "NearRangeSuppression", fkUINT, 4, 1},
    {6532, 6535, "LaserPulseRate", fkUINT, 4, 1},
    {6536, 6551, "LineScanStartValue", fkUINT, 4, 4},
    {6552, 6567, "LineScanIncrement", fkUINT, 4, 4},
    {6568, 6571, "LineScanMeasNumber", fkUINT, 4, 1},
    {6572, 6573, "RangeGate", fkUINT, 2, 1},
    {6574, 6575, "PositionStartPulse", fkUINT, 2, 1},
    {6576, 6579, "SampleBlockLen", fkUINT, 1, 4},
    {6580, 6583, "PreQuadCount", fkUINT, 1, 4},
    {6584, 6587, "ADCThreshold", fkUINT, 1, 4},
    {6588, 6591, "ChannelSwitchLevel", fkUINT, 1, 1},
    {6592, 6595, "LogChannel", fkUINT, 1, 1},
    {6596, 6599, "FirstBlocks", fkUINT, 1, 1},
    {6600, 6603, "LastBlocks", fkUINT, 1, 1},
    {6604, 6619, "GpsStringDecoder", fkSTRING, 16, 1},
};

const FieldRow ParameterField_3_1Rows[] = {
    {6620, 6623, "FrameEncoderCircleCount", fkUINT, 4, 1},
    {6624, 6627, "FrameEncoderOffset", fkUINT, 4, 1},
};

const FieldRow ParameterField_4_0Rows[] = {
    {20, 27, "SerialNumber", fkSTRING, 8, 1},
    {28, 35, "InstrumentType", fkSTRING, 8, 1},
    {36, 39, "InstrumentModel", fkUINT, 2, 1},
    {40, 43, "SyncField", fkUINT, 4, 1},
    {44, 47, "BeamAperture", fkUINT, 2, 1},
    {48, 51, "BeamDivergence", fkUINT, 2, 1},
    {52, 55, "BeamFocus", fkUINT, 2, 1},
    {56, 59, "LineAngleCircleCount", fkUINT, 4, 1},
    {60, 61, "NumberFacets", fkUINT, 1, 1},
    {62, 63, "LineAngleCoarseRes", fkUINT, 2, 1},
    {64, 67, "LineAngleOffset0", fkUINT, 4, 1},
    {68, 71, "LineAngleOffset1", fkUINT, 4, 1},
    {72, 73, "LineEncoderFineCountOffset0", fkUINT, 2, 1},
    {74, 75, "LineEncoderFineCountOffset1", fkUINT, 2, 1},
    {76, 79, "RangeCorrPPM", fkINT, 4, 1},
    {80, 83, "LoChannelRangeOffset", fkINT, 4, 1},
    {84, 87, "HiChannelRangeOffset", fkINT, 4, 1},
    {88, 99, "CorrLaserOrigin", fkSINGLE, 4, 3},
    {100, 111, "CorrLaserDir", fkSINGLE, 4, 3},
    {112, 123, "CorrMirrorAxis", fkSINGLE, 4, 3},
    {124, 135, "CorrOffset", fkSINGLE, 4, 3},
    {136, 147, "CorrFacetNormal1", fkSINGLE, 4, 3},
    {148, 151, "CorrFacetDistance1", fkSINGLE, 4, 1},
    {152, 163, "CorrFacetNormal2", fkSINGLE, 4, 3},
    {164, 167, "CorrFacetDistance2", fkSINGLE, 4, 1},
    {168, 179, "CorrFacetNormal3", fkSINGLE, 4, 3},
    {180, 183, "CorrFacetDistance3", fkSINGLE, 4, 1},
    {184, 195, "CorrFacetNormal4", fkSINGLE, 4, 3},
    {196, 199, "CorrFacetDistance4", fkSINGLE, 4, 1},
    {200, 711, "LinearizeArray", fkUINT, 2, 256},
    {712, 1223, "DelogArray", fkUINT, 2, 256},
    {1224, 1823, "AmplCorrArrayLO", fkINT, 2, 300},
    {1824, 2423, "AmplCorrArrayHI", fkINT, 2, 300},
    {2424, 4471, "ADCThresholdArrayLO", fkUINT, 1, 2048},
    {4472, 6519, "ADCThresholdArrayHI", fkUINT, 1, 2048},
    {6520, 6527, "ADCOffset", fkUINT, 2, 4},
    {6528, 6531, "LastPulseSuppression", fkUINT, 1, 4},
    {6532, 6535, "NearRangeSuppression", fkUINT, 4, 1},
    {6536, 6539, "LaserPulseRate", fkUINT, 4, 1},
    {6540, 6555, "LineScanStartValue", fkUINT, 4, 4},
    {6556, 6571, "LineScanIncrement", fkUINT, 4, 4},
    {6572, 6575, "LineScanMeasNumber", fkUINT, 4, 1},
    {6576, 6577, "RangeGate", fkUINT, 2, 1},
    {6578, 6579, "PositionStartPulse", fkUINT, 2, 1},
    {6580, 6583, "SampleBlockLen", fkUINT, 1, 4},
    {6584, 6587, "PreQuadCount", fkUINT, 1, 4},
    {6588, 6591, "ADCThreshold", fkUINT, 1, 4},
    {6592, 6593, "ChannelSwitchLevel", fkUINT, 1, 1},
    {6594, 6599, "LogChannel", fkUINT, 1, 1},
    {6600, 6603, "FirstBlocks", fkUINT, 1, 1},
    {6604, 6607, "LastBlocks", fkUINT, 1, 1},
    {6608, 6623, "GpsStringDecoder", fkSTRING, 16, 1},
};

const FieldRow ParameterField_4_1Rows[] = {
    {6624, 6627, "FrameEncoderCircleCount", fkUINT, 4, 1},
    {6628, 6631, "FrameEncoderOffset", fkUINT, 4, 1},
};

const FieldRow ParameterField_5_0Rows[] = {
    {20, 27, "SerialNumber", fkSTRING, 8, 1},
    {28, 35, "InstrumentType", fkSTRING, 8, 1},
    {36, 39, "InstrumentModel", fkUINT, 2, 1},
    {40, 43, "SyncField", fkUINT, 4, 1},
    {44, 47, "BeamAperture", fkUINT, 2, 1},
    {48, 51, "BeamDivergence", fkUINT, 2, 1},
    {52, 55, "BeamFocus", fkUINT, 2, 1},
    {56, 59, "LineAngleCircleCount", fkUINT, 4, 1},
    {60, 61, "NumberFacets", fkUINT, 1, 1},
    {62, 63, "LineAngleCoarseRes", fkUINT, 2, 1},
    {64, 67, "LineAngleOffset0", fkUINT, 4, 1},
    {68, 71, "LineAngleOffset1", fkUINT, 4, 1},
    {72, 73, "LineEncoderFineCountOffset0", fkUINT, 2, 1},
    {74, 75, "LineEncoderFineCountOffset1", fkUINT, 2, 1},
    {76, 79, "RangeCorrPPM", fkINT, 4, 1},
    {80, 83, "LoChannelRangeOffset", fkINT, 4, 1},
    {84, 87, "HiChannelRangeOffset", fkINT, 4, 1},
    {88, 99, "CorrLaserOrigin", fkSINGLE, 4, 3},
    {100, 111, "CorrLaserDir", fkSINGLE, 4, 3},
    {112, 123, "CorrMirrorAxis", fkSINGLE, 4, 3},
    {124, 135, "CorrOffset", fkSINGLE, 4, 3},
    {136, 147, "CorrFacetNormal1", fkSINGLE, 4, 3},
    {148, 151, "CorrFacetDistance1", fkSINGLE, 4, 1},
    {152, 163, "CorrFacetNormal2", fkSINGLE, 4, 3},
    {164, 167, "CorrFacetDistance2", fkSINGLE, 4, 1},
    {168, 179, "CorrFacetNormal3", fkSINGLE, 4, 3},
    {180, 183, "CorrFacetDistance3", fkSINGLE, 4, 1},
    {184, 195, "CorrFacetNormal4", fkSINGLE, 4, 3},
    {196, 199, "CorrFacetDistance4", fkSINGLE, 4, 1},
    {200, 711, "LinearizeArray", fkUINT, 2, 256},
    {712, 1223, "DelogArray", fkUINT, 2, 256},
    {1224, 1823, "AmplCorrArrayLO", fkINT, 2, 300},
    {1824, 2423, "AmplCorrArrayHI", fkINT, 2, 300},
    {2424, 4471, "ADCThresholdArrayLO", fkUINT, 1, 2048},
    {4472, 6519, "ADCThresholdArrayHI", fkUINT, 1, 2048},
    {6520, 6527, "ADCOffset", fkUINT, 2, 4},
    {6528, 6531, "LastPulseSuppression", fkUINT, 1, 4},
    {6532, 6535, "NearRangeSuppression", fkUINT, 4, 1},
    {6536, 6539, "LaserPulseRate", fkUINT, 4, 1},
    {6540, 6543, "MTAPrrConfig", fkUINT, 1, 1},
    {6544, 6547, "MTAPrrLow", fkUINT, 4, 1},
    {6548, 6551, "MTAPrrHigh", fkUINT, 4, 1},
    {6552, 6555, "MTAZone", fkUINT, 1, 1},
    {6556, 6571, "LineScanStartValue", fkUINT, 4, 4},
    {6572, 6587, "LineScanIncrement", fkUINT, 4, 4},
    {6588, 6591, "LineScanMeasNumber", fkUINT, 4, 1},
    {6592, 6593, "RangeGate", fkUINT, 2, 1},
    {6594, 6595, "PositionStartPulse", fkUINT, 2, 1},
    {6596, 6599, "SampleBlockLen", fkUINT, 1, 4},
    {6600, 6603, "PreQuadCount", fkUINT, 1, 4},
    {6604, 6607, "ADCThreshold", fkUINT, 1, 4},
    {6608, 6611, "ChannelSwitchLevel", fkUINT, 1, 1},
    {6612, 6615, "LogChannel", fkUINT, 1, 1},
    {6616, 6619, "FirstBlocks", fkUINT, 1, 1},
    {6620, 6623, "LastBlocks", fkUINT, 1, 1},
    {6624, 6639, "GpsStringDecoder", fkSTRING, 16, 1},
};

const FieldRow ParameterField_5_1Rows[] = {
    {6640, 6643, "FrameEncoderCircleCount", fkUINT, 4, 1},
    {6644, 6647, "FrameEncoderOffset", fkUINT, 4, 1},
};

const FieldRow MeasBlock_1_0Rows[] = {
    {0, 1, "MeasBlockDwords", fkUINT, 2, 1},
    {2, 2, "GpsSyncDescriptor", fkBITS, 1, 1},
    {3, 7, "TimeuSec", fkUINT, 5, 1},
    {8, 10, "LineEncoderValue", fkUINT, 3, 1},
    {11, 11, "NumSampleBlocks", fkUINT, 1, 1},
};

const FieldRow MeasBlock_1_1Rows[] = {
    {0, 1, "MeasBlockDwords", fkUINT, 2, 1},
    {2, 2, "GpsSyncDescriptor", fkBITS, 1, 1},
    {3, 7, "TimeuSec", fkUINT, 5, 1},
    {8, 11, "LineEncoderValue", fkUINT, 3, 1},
    {12, 14, "FrameEncoderValue", fkUINT, 3, 1},
    {15, 15, "NumSampleBlocks", fkUINT, 1, 1},
};

const FieldRow MeasBlock_2_0Rows[] = {
    {0, 1, "MeasBlockDwords", fkUINT, 2, 1},
    {2, 2, "GpsSyncDescriptor", fkBITS, 1, 1},
    {3, 7, "TimeuSec", fkUINT, 5, 1},
    {8, 9, "LineEncPeriodCount", fkUINT, 2, 1},
    {10, 11, "LineEncFineCount", fkUINT, 2, 1},
    {12, 14, "LineEncCoarseCount", fkUINT, 2, 1},
    {15, 15, "NumSampleBlocks", fkUINT, 1, 1},
};

const FieldRow MeasBlock_2_1Rows[] = {
    {0, 1, "MeasBlockDwords", fkUINT, 2, 1},
    {2, 2, "GpsSyncDescriptor", fkBITS, 1, 1},
    {3, 7, "TimeuSec", fkUINT, 5, 1},
    {8, 9, "LineEncPeriodCount", fkUINT, 2, 1},
    {10, 11, "LineEncFineCount", fkUINT, 2, 1},
    {12, 15, "LineEncCoarseCount", fkUINT, 2, 1},
    {16, 18, "FrameEncoderValue", fkUINT, 3, 1},
    {19, 19, "NumSampleBlocks", fkUINT, 1, 1},
};

const FieldRow MeasBlock_3_0Rows[] = {
    {0, 1, "MeasBlockDwords", fkUINT, 2, 1},
    {2, 2, "GpsSyncDescriptor", fkBITS, 1, 1},
    {3, 7, "Time4nsec", fkUINT, 5, 1},
    {8, 9, "LineEncPeriodCount0", fkUINT, 2, 1},
    {10, 11, "LineEncFineCount0", fkUINT, 2, 1},
    {12, 13, "LineEncCoarseCount0", fkUINT, 2, 1},
    {14, 15, "LineEncPeriodCount1", fkUINT, 2, 1},
    {16, 17, "LineEncFineCount1", fkUINT, 2, 1},
    {18, 22, "LineEncCoarseCount1", fkUINT, 2, 1},
    {23, 23, "NumSampleBlocks", fkUINT, 1, 1},
};

const FieldRow MeasBlock_3_1Rows[] = {
    {0, 1, "MeasBlockDwords", fkUINT, 2, 1},
    {2, 2, "GpsSyncDescriptor", fkBITS, 1, 1},
    {3, 7, "Time4nsec", fkUINT, 5, 1},
    {8, 9, "LineEncPeriodCount0", fkUINT, 2, 1},
    {10, 11, "LineEncFineCount0", fkUINT, 2, 1},
    {12, 13, "LineEncCoarseCount0", fkUINT, 2, 1},
    {14, 15, "LineEncPeriodCount1", fkUINT, 2, 1},
    {16, 17, "LineEncFineCount1", fkUINT, 2, 1},
    {18, 19, "LineEncCoarseCount1", fkUINT, 2, 1},
    {20, 22, "FrameEncoderValue", fkUINT, 3, 1},
    {23, 23, "NumSampleBlocks", fkUINT, 1, 1},
};

const FieldRow SampleBlock_1_0Rows[] = {
    {0, 1, "SampleBlockTimeStamp", fkUINT, 2, 1},
    {2, 2, "ChannelDescriptor", fkBITS, 1, 1},
    {3, 3, "NumQuads", fkUINT, 1, 1},
    {4, 4, "Sample", fkUINT, 1, 1},
};

const FieldRow HousekeepingData_1_0Rows[] = {
    {0, 3, "TempADCInt", fkUINT, 4, 1},
    {4, 7, "TempInclSens", fkUINT, 4, 1},
    {8, 11, "TempReceiver", fkUINT, 4, 1},
    {12, 15, "TempADC0Ext", fkUINT, 4, 1},
    {16, 19, "TempADC1Ext", fkUINT, 4, 1},
    {20, 23, "Supply_1_5V", fkUINT, 4, 1},
    {24, 27, "Supply_2_25V", fkUINT, 4, 1},
    {28, 31, "Supply_2_5V", fkUINT, 4, 1},
    {32, 35, "Supply_3_3V", fkUINT, 4, 1},
    {36, 39, "Supply_5V", fkUINT, 4, 1},
    {40, 43, "Supply_External", fkUINT, 4, 1},
    {44, 47, "Supply_Photodiode", fkUINT, 4, 1},
};

const FieldRow HousekeepingData_1_1Rows[] = {
    {48, 51, "GPS_N", fkUINT, 4, 1},
    {52, 55, "GPS_Data", fkUINT, 4, 1},
};

const FieldRow HousekeepingData_2_0Rows[] = {
    {48, 48, "GpsSyncDescriptor", fkBITS, 1, 1},
    {49, 50, "DummyBytes", fkUINT, 2, 1},
    {51, 55, "PPSTimeStamp", fkUINT, 5, 1},
    {56, 59, "WeekMilliSeconds", fkUINT, 4, 1},
};

// Version 2.1 keeps the layout of 2.0 for bytes 0-59, which is where readers
// take its PPS data from; the GPS words follow behind it.
const FieldRow HousekeepingData_2_1Rows[] = {
    {60, 63, "GPS_N", fkUINT, 4, 1},
    {64, 67, "GPS_Data", fkUINT, 4, 1},
};
// clang-format on

// Before sizing a variable-length field, make sure the stream still holds
// its data: a corrupt count must not allocate or read beyond the file.
void SizeVariableField(TStream& Stream, TField& Data, std::uint64_t Count) {
    const std::int64_t Remaining = std::max<std::int64_t>(0, Stream.GetSize() - Stream.GetPosition());
    const std::uint64_t Need = Count * static_cast<std::uint64_t>(Data.Size());
    if (Need > static_cast<std::uint64_t>(Remaining))
        KQMTypesError(Format("%s: %u elements need %u bytes, the stream holds only %d more", Data.Name(), Count, Need,
                             Remaining));
    if (Count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        KQMTypesError(Data.Name() + ": Cols/Rows invalid");
    Data.SetCols(static_cast<std::int32_t>(Count));
}

// Loads every field up to the count field, sizes the data field that follows
// it by Count x Factor and loads the rest.
void LoadVariable(TBlock& Block, TStream& Stream, int CountIndex, std::uint32_t Factor) {
    for (int I = 0; I <= CountIndex; ++I) Block.GetFieldI(I)->Load(Stream);
    TField& Data = *Block.GetFieldI(CountIndex + 1);
    SizeVariableField(Stream, Data, std::uint64_t(Block.GetFieldI(CountIndex)->GetUInt()) * Factor);
    for (int I = CountIndex + 1; I < Block.GetFieldCount(); ++I) Block.GetFieldI(I)->Load(Stream);
}

// A header block must lie wholly inside the file; a short file would
// otherwise load as zeros and pass for a header.
void CheckHeaderRoom(const TBlock& Block, TStream& Stream) {
    const std::int64_t Size = Stream.GetSize();
    const std::int64_t End = Block.EndOffset();
    if (End > Size)
        KQMTypesError(
            Format("Header too short: %s ends at byte %d, the file holds %d bytes", Block.Name(), End - 1, Size));
}

}  // namespace

void THeaderPreamble::Init(TBlock& Block) { AddRows(Block, HeaderPreambleRows); }

void THeaderPreamble::Load(TStream& Stream) {
    ClearBlocks();
    CheckHeaderRoom(*this, Stream);
    TBlock::Load(Stream);
    auto Sub = CreateBlock("Subheader", static_cast<std::uint16_t>(Field("SubheaderIdMain").GetUInt()),
                           static_cast<std::uint16_t>(Field("SubheaderIdSub").GetUInt()));
    CheckHeaderRoom(*Sub, Stream);
    TBlock* Subheader = Add(std::move(Sub));
    Subheader->Load(Stream);
    auto Par = CreateBlock("ParameterField", static_cast<std::uint16_t>(Subheader->Field("ParameterIdMain").GetUInt()),
                           static_cast<std::uint16_t>(Subheader->Field("ParameterIdSub").GetUInt()));
    CheckHeaderRoom(*Par, Stream);
    Add(std::move(Par))->Load(Stream);
}

void TSubheader_1_0::Init(TBlock& Block) { AddRows(Block, Subheader_1_0Rows); }
void TSubheader_2_0::Init(TBlock& Block) { AddRows(Block, Subheader_2_0Rows); }

void TParameterField_2_0::Init(TBlock& Block) { AddRows(Block, ParameterField_2_0Rows); }
void TParameterField_2_1::Init(TBlock& Block) {
    TParameterField_2_0::Init(Block);
    AddRows(Block, ParameterField_2_1Rows);
}
void TParameterField_3_0::Init(TBlock& Block) { AddRows(Block, ParameterField_3_0Rows); }
void TParameterField_3_1::Init(TBlock& Block) {
    TParameterField_3_0::Init(Block);
    AddRows(Block, ParameterField_3_1Rows);
}
void TParameterField_4_0::Init(TBlock& Block) { AddRows(Block, ParameterField_4_0Rows); }
void TParameterField_4_1::Init(TBlock& Block) {
    TParameterField_4_0::Init(Block);
    AddRows(Block, ParameterField_4_1Rows);
}
void TParameterField_5_0::Init(TBlock& Block) { AddRows(Block, ParameterField_5_0Rows); }
void TParameterField_5_1::Init(TBlock& Block) {
    TParameterField_5_0::Init(Block);
    AddRows(Block, ParameterField_5_1Rows);
}

void TMeasBlock_1_0::Init(TBlock& Block) { AddRows(Block, MeasBlock_1_0Rows); }
void TMeasBlock_1_1::Init(TBlock& Block) { AddRows(Block, MeasBlock_1_1Rows); }
void TMeasBlock_2_0::Init(TBlock& Block) { AddRows(Block, MeasBlock_2_0Rows); }
void TMeasBlock_2_1::Init(TBlock& Block) { AddRows(Block, MeasBlock_2_1Rows); }
void TMeasBlock_3_0::Init(TBlock& Block) { AddRows(Block, MeasBlock_3_0Rows); }
void TMeasBlock_3_1::Init(TBlock& Block) { AddRows(Block, MeasBlock_3_1Rows); }

void TSampleBlock_1_0::Init(TBlock& Block) { AddRows(Block, SampleBlock_1_0Rows); }
void TSampleBlock_1_0::Load(TStream& Stream) { LoadVariable(*this, Stream, 2, 4); }
void TSampleBlock_1_1::Init(TBlock& Block) { AddRows(Block, SampleBlock_1_0Rows); }
void TSampleBlock_1_1::Load(TStream& Stream) { LoadVariable(*this, Stream, 2, 4); }

void THousekeepingData_1_0::Init(TBlock& Block) { AddRows(Block, HousekeepingData_1_0Rows); }
void THousekeepingData_1_1::Init(TBlock& Block) {
    THousekeepingData_1_0::Init(Block);
    AddRows(Block, HousekeepingData_1_1Rows);
}
void THousekeepingData_1_1::Load(TStream& Stream) { LoadVariable(*this, Stream, 12, 1); }
void THousekeepingData_2_0::Init(TBlock& Block) {
    THousekeepingData_1_0::Init(Block);
    AddRows(Block, HousekeepingData_2_0Rows);
}
void THousekeepingData_2_1::Init(TBlock& Block) {
    THousekeepingData_2_0::Init(Block);
    AddRows(Block, HousekeepingData_2_1Rows);
}
void THousekeepingData_2_1::Load(TStream& Stream) { LoadVariable(*this, Stream, 16, 1); }

// ---------------------------------------------------------------- factory

std::unique_ptr<TBlock> CreateBlock(const std::string& Name, std::uint16_t Main, std::uint16_t Sub) {
    struct Entry {
        const char* Name;
        std::uint16_t Main;
        std::uint16_t Sub;
        std::unique_ptr<TBlock> (*Make)();
    };
    // "HeaderPreamble" matches any version and is handled before the table.
#define KQM_ENTRY(N, Ma, Su, Cls)                                     \
    {                                                                 \
        N, Ma, Su, [] { return std::unique_ptr<TBlock>(new T##Cls); } \
    }
    static const Entry Table[] = {
        KQM_ENTRY("Subheader", 1, 0, Subheader_1_0),
        KQM_ENTRY("Subheader", 2, 0, Subheader_2_0),
        KQM_ENTRY("ParameterField", 2, 0, ParameterField_2_0),
        KQM_ENTRY("ParameterField", 2, 1, ParameterField_2_1),
        KQM_ENTRY("ParameterField", 3, 0, ParameterField_3_0),
        KQM_ENTRY("ParameterField", 3, 1, ParameterField_3_1),
        KQM_ENTRY("ParameterField", 4, 0, ParameterField_4_0),
        KQM_ENTRY("ParameterField", 4, 1, ParameterField_4_1),
        KQM_ENTRY("ParameterField", 5, 0, ParameterField_5_0),
        KQM_ENTRY("ParameterField", 5, 1, ParameterField_5_1),
        KQM_ENTRY("MeasBlockHeader", 1, 0, MeasBlock_1_0),
        KQM_ENTRY("MeasBlockHeader", 1, 1, MeasBlock_1_1),
        KQM_ENTRY("MeasBlockHeader", 2, 0, MeasBlock_2_0),
        KQM_ENTRY("MeasBlockHeader", 2, 1, MeasBlock_2_1),
        KQM_ENTRY("MeasBlockHeader", 3, 0, MeasBlock_3_0),
        KQM_ENTRY("MeasBlockHeader", 3, 1, MeasBlock_3_1),
        KQM_ENTRY("SampleBlock", 0, 0, SampleBlock_1_0),
        KQM_ENTRY("SampleBlock", 1, 0, SampleBlock_1_0),
        KQM_ENTRY("SampleBlock", 1, 1, SampleBlock_1_1),
        KQM_ENTRY("HousekeepingData", 0, 0, HousekeepingData_1_0),
        KQM_ENTRY("HousekeepingData", 1, 0, HousekeepingData_1_0),
        KQM_ENTRY("HousekeepingData", 1, 1, HousekeepingData_1_1),
        KQM_ENTRY("HousekeepingData", 2, 0, HousekeepingData_2_0),
        KQM_ENTRY("HousekeepingData", 2, 1, HousekeepingData_2_1),
    };
#undef KQM_ENTRY
    if (Name == "HeaderPreamble") return std::make_unique<THeaderPreamble>();
    for (const Entry& E : Table)
        if (E.Main == Main && E.Sub == Sub && Name == E.Name) return E.Make();
    KQMTypesError(Format("Unknown %s_%d_%d", Name, Main, Sub));
}
