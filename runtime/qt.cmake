# The window side of the runtime: the only library that links Qt.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets)

add_library(egn_runtime STATIC
  form_model.cpp
  control_kinds.cpp
  description_parser.cpp
  controls.cpp
  controls_qt.cpp
  form_builder.cpp
  forms.cpp)
add_library(egn::runtime ALIAS egn_runtime)
target_include_directories(egn_runtime PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(egn_runtime
  PUBLIC egn::runtime_core Qt6::Core
  PRIVATE Qt6::Gui Qt6::Widgets egn::warnings)
