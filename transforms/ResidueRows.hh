// Residues and their atom rows: the running atom index of a residue list
// (atoms numbered from 0 in residue order, then in each residue's atom
// order), the order in which lists of residue numbers are merged, and the
// copy of a residue with new coordinates.
#ifndef QUILT_TRANSFORMS_RESIDUEROWS_HH
#define QUILT_TRANSFORMS_RESIDUEROWS_HH

#include "core/Protein.hh"

#include <utility>
#include <vector>

// offsets[i]: the running index of the first atom of residue i;
// offsets[size]: the number of atoms.
std::vector< int > residue_atom_offsets( std::vector< Residue > const& residues );

// The entries to take when several lists of residue numbers are merged in
// ascending number order (stable, lists in order): for each entry of the
// sorted concatenation, (list, position) of the first occurrence of its
// number, the lists searched in order.  A number listed twice is taken
// twice, both times from its first occurrence.
std::vector< std::pair< int, int > > merged_order( std::vector< std::vector< int > > const& lists );

// A copy of src whose atom k takes row first + k of xyz; names, lines,
// indices, numbers and chain stay.
Residue moved_residue( Residue const& src, double** xyz, int first );

// True when every number of every list lies in 1..n; otherwise an "Error!"
// message naming `who` and the first offending number.
bool residue_numbers_within( int n, std::vector< std::vector< int > > const& lists, char const* who );

#endif
