#pragma once

namespace dataset {

// The kinds of field the data sets keep. Unknown is a type no store can hold: opening a data
// set with such a definition fails with "Field '%s' is of an unknown type".
// The kinds after Blob tell database columns and statement parameters apart more finely (a
// SMALLINT, a date without time, a long text ...). A record keeps a field of such a kind as
// its StorageType, and that is the type the field reports.
enum class TFieldType {
  Unknown, String, Integer, LargeInt, Float, Boolean, DateTime, Blob,
  Smallint, Word, AutoInc, Currency, BCD, Date, Time, Memo
};

// The kind a record keeps values of `type` as: one of Unknown .. Blob.
TFieldType StorageType(TFieldType type);

}  // namespace dataset
