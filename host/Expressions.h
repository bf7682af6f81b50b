// Expressions on the effect's controls, as the host evaluates them. The host understands the
// forms the effect writes when it links its reference camera:
//
//   thisComp.layer("NAME").transform.position[0]   (also [1], [2])
//   thisComp.layer("NAME").transform.pointOfInterest[0]
//   thisComp.layer("NAME").zoom
//
// with an optional ';' and white space around. NAME is taken as it stands between the opening
// quote and the property: a name holding a double quote is found as written. An expression the
// host cannot evaluate is a problem reported in plain words, never a silently kept old value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AE_Effect.h"

namespace mf::host {

class Composition;
class EffectInstance;
class Host;

struct ExpressionResult {
  std::optional<double> value;
  std::string problem;  // why there is no value, in plain words; empty with a value
};

// Evaluates an expression (UTF-8) at a composition time.
ExpressionResult EvaluateExpression(const Composition* comp, std::string_view utf8,
                                    double comp_seconds);

// For a checked-out control: when the instance has an enabled expression on it, replaces the
// value in *def with the expression's value at the time. Returns the problem, naming the control
// and the expression, when the expression cannot be evaluated.
std::optional<std::string> ApplyControlExpression(Host& host, const EffectInstance& instance,
                                                  PF_ParamIndex index, double comp_seconds,
                                                  PF_ParamDef* def);

// Wraps the host's inter.checkout_param so that every control checked out (pre-render, render,
// change handling) carries its expression's value; a control whose expression cannot be
// evaluated fails its checkout and the render reports the problem. Idempotent per host.
void InstallExpressionCheckout(Host& host);

}  // namespace mf::host
