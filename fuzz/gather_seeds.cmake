# Gathers a fuzz target's seeds into its corpus folder in the build tree: the
# inputs committed for it alone (fuzz/corpus/TARGET), and the files of the
# tree that are inputs of its kind already, in their own homes, listed one a
# line in SEEDS_FILE.
#
#   cmake -DCORPUS=folder -DCOMMITTED=folder -DSEEDS_FILE=file -P gather_seeds.cmake
#
# A file from elsewhere is named after its folder and itself (bad-run.vks,
# golden-kept.reg), so that files of one name in two homes both come.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${CORPUS}")
file(MAKE_DIRECTORY "${CORPUS}")
if(IS_DIRECTORY "${COMMITTED}")
  file(GLOB committed "${COMMITTED}/*")
  if(committed)
    file(COPY ${committed} DESTINATION "${CORPUS}")
  endif()
endif()
file(STRINGS "${SEEDS_FILE}" seeds)
foreach(seed IN LISTS seeds)
  get_filename_component(folder "${seed}" DIRECTORY)
  get_filename_component(folder "${folder}" NAME)
  get_filename_component(name "${seed}" NAME)
  file(COPY_FILE "${seed}" "${CORPUS}/${folder}-${name}")
endforeach()
