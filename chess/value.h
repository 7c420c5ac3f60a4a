#pragma once
// Search values: centipawns from the side to move's view, with mate scores
// beyond the evaluation's range and endgame-bitbase wins in a band between.

constexpr int ValueNone = -32767;      // no value yet
constexpr int ValueInf = 30000;        // window bound of an open window
constexpr int ValueMate = 30000;       // mated at height h is worth -ValueMate + h
constexpr int ValueEvalInf = 29744;    // largest non-mate value (ValueMate - 256)
constexpr int ValueBitbaseMin = 3000;  // magnitudes in (3000, 29744) are bitbase wins

constexpr int value_mated(int height) { return -ValueMate + height; }
constexpr int value_mate(int height) { return ValueMate - height; }

constexpr bool is_mate_score(int value) { return value < -ValueEvalInf || value > ValueEvalInf; }

constexpr bool is_bitbase_score(int value) {
  return (value > ValueBitbaseMin && value < ValueEvalInf) || (value < -ValueBitbaseMin && value > -ValueEvalInf);
}
