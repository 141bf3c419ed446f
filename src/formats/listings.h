// Reports on the host's catalogue files (line-oriented XML), and a Cal3D
// viewer configuration for one body part. Each writes its file itself and
// sets env.wroteOutput, so no write follows the read.
#pragma once
#include <string>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;

// Whether a source is a catalogue that one of the listings reads (its file
// name holds "descriptors.rtml" or "bodyparts.rtml", in any case).
bool isCatalogueName(const std::string& path);
// The listing a catalogue's name asks for.
ReadResult listCatalogue(ReadEnv& env, const std::string& path);

// Every model of a descriptor catalogue, sorted and grouped by the first
// part of their paths, into <folder>/<holding folder's name>_prop_info.txt.
ReadResult listDescriptors(ReadEnv& env, const std::string& path);
// listing: the body parts and their descriptions, into
// <folder>/<holding folder's name>_bodypart_info.txt. Otherwise the body
// part's mesh, skeleton and materials as a viewer configuration.
ReadResult listBodyParts(ReadEnv& env, const std::string& path, bool listing);
// listBodyParts for a body-part or template source: the configuration.
ReadResult readBodyPart(ReadEnv& env, const std::string& path);

// The report name for a source: its folder, the holding folder's name, suffix.
std::string listingName(const std::string& path, const std::string& suffix);

}  // namespace molv
