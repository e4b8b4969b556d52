# Screen controls, annotations, the measuring tool and the data files of the
# viewer; included from this folder's CMakeLists.
add_subdirectory(data-gen)
